#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace zelvane::win32 {

// The path of a known folder for the current user; "" on failure.
std::wstring GetKnownFolder(REFKNOWNFOLDERID id);

}  // namespace zelvane::win32
