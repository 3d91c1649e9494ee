#include "wizard/page.h"

#include <commctrl.h>

#include "app/configuration_manager.h"
#include "resource.h"
#include "ui/controls.h"

namespace zelvane::win32 {

IPage::IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId)
    : Dialog(templateId),
      m_languageManager(std::move(languageManager)),
      m_stripBrush(::CreateSolidBrush(ConfigurationManager::Instance()->accentColour)) {
  RegisterPageControlClasses();
  m_languageManager->AddPage(this);
}

IPage::~IPage() {
  m_languageManager->RemovePage(this);
  Destroy();  // while this object is whole: the window's last messages still reach it
}

BOOL IPage::OnInitDialog() {
  m_bottomStrip.Attach(hwnd(), IDC_PAGE_STRIP);
  return TRUE;
}

void IPage::AddLocalizedControl(int id, const std::string& key) {
  m_localizedControls.push_back({::GetDlgItem(hwnd(), id), key});
}

void IPage::UpdateTexts() {
  for (const auto& [control, key] : m_localizedControls) {
    if (control == nullptr || !::IsWindow(control)) continue;
    const std::wstring text = m_languageManager->GetText(key);
    if (!text.empty()) ::SetWindowTextW(control, text.c_str());
  }
}

HBRUSH IPage::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control != nullptr && ::GetDlgCtrlID(control) == IDC_PAGE_STRIP) {
    ::SetBkMode(dc, TRANSPARENT);
    return m_stripBrush.get();
  }
  return Dialog::OnCtlColor(dc, control, message);
}

bool IPage::OpenClickedLink(const NMHDR* header, int linkId, LRESULT* result) {
  if (static_cast<int>(header->idFrom) != linkId || header->code != NM_CLICK) return false;
  const auto* link = reinterpret_cast<const NMLINK*>(header);
  if (link->item.szUrl[0] != L'\0') (void)OpenWebLink(link->item.szUrl);
  *result = 0;
  return true;
}

}  // namespace zelvane::win32
