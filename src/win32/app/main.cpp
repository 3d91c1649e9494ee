#include <windows.h>

#include "app/orvane_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zelvane::win32::COrvaneApp app;
  app.InitInstance();
  return 0;
}
