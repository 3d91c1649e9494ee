#pragma once
// The plain flow's page after loading: logo, product title, welcome text and the legal links.

#include "ui/controls.h"
#include "wizard/page.h"
#include "wizard/static_from_image.h"

namespace zelvane::win32 {

class WelcomePageIsv : public IPage {
 public:
  explicit WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager);

  void OnNavigateToPage() override {}
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }
  // The texts, then each link sized to its new text.
  void UpdateTexts() override;
  std::wstring GetName() const override { return L"WelcomePage"; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
  HyperlinkControl m_privacyLink;
  HyperlinkControl m_termsLink;
  HyperlinkControl m_licenseLink;
  CStaticFromImage m_logo;
};

}  // namespace zelvane::win32
