#pragma once
// Waits, from a second thread, for a window of this process and answers it, while the test thread
// runs a modal loop.

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace zelvane::testing {

// A visible top-level dialog of this process with the caption, or null after the timeout.
HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs = 10000);
std::wstring WindowText(HWND window);
// Presses a dialog button the way a click does.
void ClickButton(HWND dialog, int id);

// Runs `watch` on its own thread; joins on destruction.
class Watcher {
 public:
  explicit Watcher(std::function<void()> watch) : thread_(std::move(watch)) {}
  ~Watcher() { thread_.join(); }

 private:
  std::thread thread_;
};

}  // namespace zelvane::testing
