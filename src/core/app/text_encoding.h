#pragma once
// UTF-8 <-> UTF-16 for the texts the program shows. wchar_t holds UTF-16 on Windows and UTF-32
// on the host; both are handled. Invalid input becomes U+FFFD, as the system converter does.

#include <string>
#include <type_traits>

namespace zelvane {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// An integer in decimal, as std::to_wstring writes it. std::to_wstring formats through the C
// library's wide printf, which the stub would carry for these numbers alone; std::to_string of an
// integer does without.
template <typename Integer>
std::wstring DecimalText(Integer value) {
  static_assert(std::is_integral_v<Integer>);
  const std::string digits = std::to_string(value);
  return std::wstring(digits.begin(), digits.end());
}

}  // namespace zelvane
