#include "wizard/about_dlg.h"

#include "resource.h"

namespace zelvane::win32 {

CAboutDlg::CAboutDlg(std::wstring version) : Dialog(IDD_ABOUTBOX), version_(std::move(version)) {}

BOOL CAboutDlg::OnInitDialog() {
  Control text;
  text.Attach(hwnd(), IDC_ABOUT_VERSION);
  text.SetText(L"Orvane, Version " + version_);
  return TRUE;
}

bool CAboutDlg::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  if (id != IDOK && id != IDCANCEL) return false;
  EndDialog(id);
  return true;
}

}  // namespace zelvane::win32
