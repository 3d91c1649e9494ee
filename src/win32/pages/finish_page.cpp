#include "pages/finish_page.h"

#include <shellapi.h>

#include "app/configuration_manager.h"
#include "pages/finish_actions.h"
#include "resource.h"

namespace zelvane::win32 {

namespace {

bool IsChecked(const Control& button) { return ::SendMessageW(button.hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

// What ShellExecuteW does with the file is not examined: the wizard ends either way.
void Open(const std::optional<ShellOpen>& open) {
  if (!open) return;
  ::ShellExecuteW(nullptr, L"open", open->file.c_str(), open->parameters.empty() ? nullptr : open->parameters.c_str(),
                  nullptr, SW_SHOWDEFAULT);
}

}  // namespace

FinishPageIsv::FinishPageIsv(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_ISV) {}

BOOL FinishPageIsv::OnInitDialog() {
  IPage::OnInitDialog();
  m_launchCheck.Attach(hwnd(), IDC_LAUNCH_CHECK);
  m_image.Attach(hwnd(), IDC_PAGE_IMAGE);
  AddLocalizedControl(IDC_FINISH_TITLE, "PAGE_FINISH_TITLE");
  AddLocalizedControl(IDC_FINISH_TEXT, "PAGE_FINISH_TEXT");
  AddLocalizedControl(IDC_FINISH, "BUTTON_FINISH");
  AddLocalizedControl(IDC_LAUNCH_CHECK, "LAUNCH_CHECKBOX");
  UpdateTexts();
  ::SendMessageW(m_launchCheck.hwnd(), BM_SETCHECK, BST_CHECKED, 0);
  m_image.LoadFromResource(IDB_SUCCESS, L"IMAGE_BLOB2");
  return TRUE;
}

bool FinishPageIsv::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (id != IDC_FINISH || code != BN_CLICKED) return false;
  Open(FinishIsvLaunch(*ConfigurationManager::Instance(), IsChecked(m_launchCheck)));
  if (m_buttonHandler) m_buttonHandler(ButtonType::Finish);
  return true;
}

FinishPageDlm::FinishPageDlm(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_FINISH_PAGE_DLM) {}

BOOL FinishPageDlm::OnInitDialog() {
  IPage::OnInitDialog();
  m_launchRadio.Attach(hwnd(), IDC_LAUNCH_RADIO);
  m_openFolderRadio.Attach(hwnd(), IDC_OPEN_FOLDER_RADIO);
  m_image.Attach(hwnd(), IDC_PAGE_IMAGE);
  AddLocalizedControl(IDC_FINISH_TITLE, "PAGE_FINISH_TITLE");
  AddLocalizedControl(IDC_FINISH_TEXT, "PAGE_FINISH_TEXT");
  AddLocalizedControl(IDC_FINISH, "BUTTON_FINISH");
  AddLocalizedControl(IDC_LAUNCH_RADIO, "LAUNCH_RADIO");
  AddLocalizedControl(IDC_OPEN_FOLDER_RADIO, "OPEN_FOLDER_RADIO");
  UpdateTexts();
  ::SendMessageW(m_launchRadio.hwnd(), BM_SETCHECK, BST_CHECKED, 0);
  m_image.LoadFromResource(IDB_SUCCESS, L"IMAGE_BLOB2");
  return TRUE;
}

bool FinishPageDlm::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (id != IDC_FINISH || code != BN_CLICKED) return false;
  Open(FinishDlmOpen(*ConfigurationManager::Instance(), IsChecked(m_launchRadio), IsChecked(m_openFolderRadio)));
  if (m_buttonHandler) m_buttonHandler(ButtonType::Finish);
  return true;
}

}  // namespace zelvane::win32
