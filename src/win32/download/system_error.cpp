#include "download/system_error.h"

#include <windows.h>

#include "common/handles.h"

namespace zelvane::win32 {

std::wstring SystemErrorText(std::uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  LocalMemory owned(text);
  if (length == 0 || text == nullptr) return L"";
  return std::wstring(text, length);
}

}  // namespace zelvane::win32
