#pragma once
// The first page of every run: the language choice. The plain page shows the languages of the
// locale documents in a list; the branded page hides the list and keeps the user's language.

#include "wizard/page.h"

namespace zelvane::win32 {

class LanguagePage : public IPage {
 public:
  explicit LanguagePage(std::shared_ptr<LanguageManager> languageManager);

  void OnNavigateToPage() override {}
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }
  std::wstring GetName() const override { return L"LanguagePage"; }

 protected:
  LanguagePage(std::shared_ptr<LanguageManager> languageManager, UINT templateId);
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  // The page's translated controls.
  virtual void RegisterTexts();
  // Loads the language of the list's current item, if it has one.
  void ApplySelection();

  Control m_combo;
  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
};

class LanguagePageOstrel : public LanguagePage {
 public:
  explicit LanguagePageOstrel(std::shared_ptr<LanguageManager> languageManager);
  std::wstring GetName() const override { return L"LanguagePageOstrel"; }

 protected:
  void RegisterTexts() override;
};

// Fills the combo box with the manager's languages and selects the preferred one; hides it in the
// branded flow.
void FillLanguageList(LanguageManager& languageManager, HWND combo);

}  // namespace zelvane::win32
