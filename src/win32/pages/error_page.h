#pragma once
// The page that replaces the current one when a run fails: a picture, a title, a text and Close.

#include "wizard/page.h"
#include "wizard/static_from_image.h"

namespace zelvane::win32 {

class ErrorPage : public IPage {
 public:
  explicit ErrorPage(std::shared_ptr<LanguageManager> languageManager);

  void OnNavigateToPage() override {}
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  // The error page never reports errors: the handler is dropped.
  void SetErrorHandler(ErrorHandler /*handler*/) override {}
  std::wstring GetName() const override { return L"ErrorPage"; }

  // Puts the title and the text into their controls (and the picture, the first time).
  void SetError(const std::wstring& title, const std::wstring& text);
  const std::wstring& title() const { return m_title; }
  const std::wstring& text() const { return m_text; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  ButtonHandler m_buttonHandler;
  CStaticFromImage m_image;
  bool m_imageLoaded = false;
  std::wstring m_title;
  std::wstring m_text;
};

}  // namespace zelvane::win32
