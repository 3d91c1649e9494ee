#pragma once
// UTF-8 <-> UTF-16 for the texts the program shows. wchar_t holds UTF-16 on Windows and UTF-32
// on the host; both are handled. Invalid input becomes U+FFFD, as the system converter does.

#include <string>

namespace zelvane {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace zelvane
