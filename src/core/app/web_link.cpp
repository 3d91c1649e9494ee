#include "app/web_link.h"

#include <cwctype>

namespace zelvane {

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (static_cast<wchar_t>(std::towlower(text[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsOpenableWebUrl(const std::wstring& url) {
  size_t hostStart = 0;
  if (StartsWithNoCase(url, L"https://")) {
    hostStart = 8;
  } else if (StartsWithNoCase(url, L"http://")) {
    hostStart = 7;
  } else {
    return false;
  }
  if (hostStart >= url.size()) return false;
  const wchar_t first = url[hostStart];
  if (first == L'/' || first == L'\\' || first == L'?' || first == L'#' || first == L':' || first == L'@') return false;
  // Control characters and blanks never belong in an address given to the shell.
  for (const wchar_t c : url) {
    if (c <= L' ' || c == 0x7F) return false;
  }
  return true;
}

}  // namespace zelvane
