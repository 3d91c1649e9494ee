#include "offers/standard_conversions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <stdexcept>

namespace zelvane {

namespace {

std::uint64_t ParseUnsigned(const std::wstring& text, std::uint64_t max, const char* name) {
  std::size_t at = 0;
  while (at < text.size() && std::iswspace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
  if (at == text.size() || text[at] < L'0' || text[at] > L'9') {
    throw std::invalid_argument(std::string("invalid ") + name + " argument");
  }
  std::uint64_t value = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    const unsigned digit = static_cast<unsigned>(text[at] - L'0');
    if (value > (max - digit) / 10) throw std::out_of_range(std::string(name) + " argument out of range");
    value = value * 10 + digit;
  }
  // The C library's strtoul family negates in the unsigned type.
  if (negative) value = (max - value + 1) & max;
  return value;
}

}  // namespace

std::uint32_t StoulText(const std::wstring& text) {
  return static_cast<std::uint32_t>(ParseUnsigned(text, 0xFFFFFFFFull, "stoul"));
}

std::uint64_t StoullText(const std::wstring& text) { return ParseUnsigned(text, ~0ull, "stoull"); }

float StofText(const std::wstring& text) {
  const wchar_t* begin = text.c_str();
  wchar_t* end = nullptr;
  errno = 0;
  const float value = std::wcstof(begin, &end);
  if (end == begin) throw std::invalid_argument("invalid stof argument");
  if (errno == ERANGE) throw std::out_of_range("stof argument out of range");
  return value;
}

}  // namespace zelvane
