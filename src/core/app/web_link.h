#pragma once
// Which link targets the wizard hands to the system's browser: web addresses only. Anything else
// (file paths, "file:", "javascript:", other URL schemes) could make the shell run a local program.

#include <string>

namespace zelvane {

// True for "http://host…" and "https://host…" (scheme in any case) with a non-empty host.
bool IsOpenableWebUrl(const std::wstring& url);

}  // namespace zelvane
