#include "pages/language_page.h"

#include "resource.h"

namespace zelvane::win32 {

void FillLanguageList(LanguageManager& languageManager, HWND combo) {
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  const LanguageManager::LanguageList list = languageManager.FillLanguageList();
  for (const auto& item : list.items) ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(list.selection), 0);
  if (list.hidden) ::ShowWindow(combo, SW_HIDE);
}

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager)
    : LanguagePage(std::move(languageManager), IDD_LANGUAGE_PAGE) {}

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager, UINT templateId)
    : IPage(std::move(languageManager), templateId) {}

void LanguagePage::RegisterTexts() {
  AddLocalizedControl(IDC_SPLASH_TEXT, "SPLASH_TEXT");
  AddLocalizedControl(IDC_NEXT, "BUTTON_NEXT");
}

BOOL LanguagePage::OnInitDialog() {
  IPage::OnInitDialog();
  m_combo.Attach(hwnd(), IDC_LANGUAGE_COMBO);
  RegisterTexts();
  FillLanguageList(*m_languageManager, m_combo.hwnd());
  ApplySelection();
  ::SendMessageW(hwnd(), DM_SETDEFID, IDC_NEXT, 0);
  return TRUE;
}

void LanguagePage::ApplySelection() {
  const LRESULT selection = ::SendMessageW(m_combo.hwnd(), CB_GETCURSEL, 0, 0);
  if (selection == CB_ERR) return;
  const LRESULT length = ::SendMessageW(m_combo.hwnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0);
  if (length == CB_ERR) return;
  std::wstring name(static_cast<size_t>(length) + 1, L'\0');
  ::SendMessageW(m_combo.hwnd(), CB_GETLBTEXT, static_cast<WPARAM>(selection), reinterpret_cast<LPARAM>(name.data()));
  name.resize(static_cast<size_t>(length));
  (void)m_languageManager->SelectLanguage(name);
}

bool LanguagePage::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (id == IDC_LANGUAGE_COMBO && code == CBN_SELCHANGE) {
    ApplySelection();
    return true;
  }
  if (id == IDC_NEXT && code == BN_CLICKED) {
    if (m_buttonHandler) m_buttonHandler(ButtonType::Next);
    return true;
  }
  return false;
}

LanguagePageOstrel::LanguagePageOstrel(std::shared_ptr<LanguageManager> languageManager)
    : LanguagePage(std::move(languageManager), IDD_LANGUAGE_PAGE_OSTREL) {}

void LanguagePageOstrel::RegisterTexts() {
  AddLocalizedControl(IDC_SPLASH_TITLE_OSTREL, "SPLASH_TITLE_OSTREL");
  AddLocalizedControl(IDC_SPLASH_TEXT_OSTREL, "SPLASH_TEXT_OSTREL");
  AddLocalizedControl(IDC_NEXT, "BUTTON_NEXT");
}

}  // namespace zelvane::win32
