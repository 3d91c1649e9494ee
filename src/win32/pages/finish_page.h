#pragma once
// The last page of a successful run. ISV offers to start the installed product; DLM offers to open
// the downloaded file or to show it in its folder. Finish carries that out and reports Finish; the
// controller then ends the wizard (and, on showing the page, takes away its minimise box).

#include "wizard/page.h"
#include "wizard/static_from_image.h"

namespace zelvane::win32 {

class FinishPageIsv : public IPage {
 public:
  explicit FinishPageIsv(std::shared_ptr<LanguageManager> languageManager);

  void OnNavigateToPage() override {}
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }
  std::wstring GetName() const override { return L"FinishPageISV"; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
  Control m_launchCheck;
  CStaticFromImage m_image;
};

class FinishPageDlm : public IPage {
 public:
  explicit FinishPageDlm(std::shared_ptr<LanguageManager> languageManager);

  void OnNavigateToPage() override {}
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }
  std::wstring GetName() const override { return L"FinishPageDLM"; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
  Control m_launchRadio;
  Control m_openFolderRadio;
  CStaticFromImage m_image;
};

}  // namespace zelvane::win32
