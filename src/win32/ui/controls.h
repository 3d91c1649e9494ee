#pragma once
// Control wrappers the pages need beyond the dialog layer's `Control`.

#include <windows.h>

#include <string>

namespace zelvane::win32 {

// Registers the window classes page templates name: our "MfcLink" hyperlink and the common
// controls' "SysLink". Safe to call more than once.
void RegisterPageControlClasses();

// Hands a web address to the system's browser. Anything but an http or https address is ignored
// and never reaches the shell. True when the shell took it.
bool OpenWebLink(const std::wstring& url);

// A hyperlink in the "MfcLink" window class: underlined text in link colour and a hand cursor; a
// click, Space, Enter or BM_CLICK opens its URL through OpenWebLink.
class HyperlinkControl {
 public:
  void Attach(HWND dialog, int id) { hwnd_ = ::GetDlgItem(dialog, id); }
  HWND hwnd() const { return hwnd_; }
  void SetUrl(const std::wstring& url);
  std::wstring Url() const;
  // Resizes the control to its text in its font, keeping its top-left corner.
  void SizeToContent();
  void Show(bool visible) const { ::ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE); }

 private:
  HWND hwnd_ = nullptr;
};

}  // namespace zelvane::win32
