#pragma once
// Where a downloaded file goes: file names from URLs, the names that are refused, and joining
// them to the folder within the system's path limit.

#include <string>

namespace zelvane {

class Machine;
class UserInterface;
class ConfigurationManager;

// The longest path, terminator included, that the folder calls take.
constexpr std::size_t kMaxPath = 260;

// Appends one path component in place as the shell's PathAppendW does for plain names: one
// backslash between them, leading backslashes of `more` dropped. False, and `path` unchanged, when
// the result would not fit in kMaxPath characters with its terminator.
[[nodiscard]] bool AppendPath(std::wstring& path, const std::wstring& more);

}  // namespace zelvane
