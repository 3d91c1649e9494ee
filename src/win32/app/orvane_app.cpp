#include "app/orvane_app.h"

#include <commctrl.h>
#include <gdiplus.h>

#include "app/configuration_manager.h"
#include "wizard/orvane_dlg.h"

namespace zelvane::win32 {

COrvaneApp::~COrvaneApp() {
  if (gdiplusToken_ != 0) Gdiplus::GdiplusShutdown(gdiplusToken_);
}

BOOL COrvaneApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);

  // The license page's rich edit control; without it the wizard cannot run.
  if (::LoadLibraryW(L"RICHED32.DLL") == nullptr) return FALSE;

  Gdiplus::GdiplusStartupInput gdiplus;
  if (Gdiplus::GdiplusStartup(&gdiplusToken_, &gdiplus, nullptr) != Gdiplus::Ok) gdiplusToken_ = 0;

  {
    COrvaneDlg dialog;
    dialog.SetBackgroundColour(ConfigurationManager::Instance()->backgroundColour);
    dialog.DoModal();
  }
  return FALSE;
}

}  // namespace zelvane::win32
