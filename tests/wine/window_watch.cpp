#include "window_watch.h"

#include <vector>

namespace zelvane::testing {

namespace {

struct Search {
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  wchar_t cls[16] = {};
  ::GetClassNameW(window, cls, 16);
  if (pid == ::GetCurrentProcessId() && std::wstring(cls) == L"#32770" && ::IsWindowVisible(window) &&
      WindowText(window) == *search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  do {
    Search search{&caption, nullptr};
    ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    ::Sleep(20);
  } while (::GetTickCount() - start < timeoutMs);
  return nullptr;
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
  return text;
}

void ClickButton(HWND dialog, int id) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

}  // namespace zelvane::testing
