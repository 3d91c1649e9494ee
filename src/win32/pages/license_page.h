#pragma once
// The branded flow's page after loading: the license agreement in a rich edit control and the
// disclaimer whose links lead to the terms of use and the privacy policy.

#include "wizard/page.h"

namespace zelvane::win32 {

class LicensePageIsv : public IPage {
 public:
  explicit LicensePageIsv(std::shared_ptr<LanguageManager> languageManager);

  // The agreement from its top, nothing selected (the focus the page gets selects an edit's text).
  void OnNavigateToPage() override;
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }
  // The texts, then the disclaimer's link placeholders filled again.
  void UpdateTexts() override;
  std::wstring GetName() const override { return L"LicensePage"; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  // "[LICENSE_TOS_URL]" -> termsUrl, then "[LICENSE_PRIVACY_URL]" -> privacyUrl in control 1047.
  void FillLinks();

  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
  Control m_licenseText;
  Control m_title;
  Control m_links;
  UniqueBrush m_backgroundBrush;
  UniqueFont m_titleFont;
};

// Every occurrence of `placeholder` in `text` replaced by `value`; the search goes on after the
// inserted value.
std::wstring ReplaceAll(std::wstring text, const std::wstring& placeholder, const std::wstring& value);

}  // namespace zelvane::win32
