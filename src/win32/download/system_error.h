#pragma once
#include <cstdint>
#include <string>

namespace zelvane::win32 {

// The system's text for a Windows error code (its trailing line break kept); "" when it has none.
std::wstring SystemErrorText(std::uint32_t code);

}  // namespace zelvane::win32
