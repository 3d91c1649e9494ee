#pragma once
// Whether a package URL from the configuration is a whole URL or a path that the file base URL must
// prefix. A small matcher of our own stands in for the regular expression library, which would
// more than double the size of the program.

#include <string>

#include "ports/text_codec.h"

namespace zelvane {

// True exactly when the narrow text matches the ECMAScript pattern
//   ^((http|https):\/\/)?([\w.-]+)(\.[\w.-]+)+([\/?#].*)?$
// with \w the ASCII letters, digits and '_', and '.' any character but LF and CR. That is: an optional
// lower-case "http://" or "https://", then a run of word characters, dots and hyphens holding a dot
// that is neither its first nor its last character, then nothing, or '/', '?' or '#' followed by
// anything on the same line.
bool IsUrl(const std::string& text);

// The same for a wide text, matched in the thread's ANSI code page.
bool IsUrl(const std::wstring& text, TextCodec& codec);

}  // namespace zelvane
