#pragma once
#include <windows.h>

namespace zelvane::win32 {

// The process: start-up, the modal wizard dialog, shut-down.
class COrvaneApp {
 public:
  COrvaneApp() = default;
  COrvaneApp(const COrvaneApp&) = delete;
  COrvaneApp& operator=(const COrvaneApp&) = delete;
  // Shuts GDI+ down, after every window and image is gone.
  ~COrvaneApp();

  // Runs the whole wizard; returns FALSE so the process ends when the dialog has closed.
  BOOL InitInstance();

 private:
  ULONG_PTR gdiplusToken_ = 0;
};

}  // namespace zelvane::win32
