#pragma once
// The WinHTTP handle type. Only for sources that include <winhttp.h> (never beside <wininet.h>).

#include <windows.h>
#include <winhttp.h>

#include "common/handles.h"

namespace zelvane::win32 {

using UniqueInternet = UniqueHandle<NullInvalidTraits<HINTERNET, &::WinHttpCloseHandle>>;

}  // namespace zelvane::win32
