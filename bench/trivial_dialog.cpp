// The smallest dialog program: one in-memory template, no resources. Start-up reference for the stub.

#include <windows.h>

namespace {

INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(window, 0);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  struct {
    DLGTEMPLATE header;
    WORD menu, windowClass, title[8];
  } dialog{};
  dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER;
  dialog.header.cx = 350;
  dialog.header.cy = 260;
  const wchar_t title[] = L"Trivial";
  for (int i = 0; i < 8; ++i) dialog.title[i] = title[i];
  return static_cast<int>(::DialogBoxIndirectParamW(instance, &dialog.header, nullptr, &Procedure, 0));
}
