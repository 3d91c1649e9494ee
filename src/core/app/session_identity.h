#pragma once
// Facts of this run that several subsystems share: the clock in milliseconds and the code carried
// in the installer's own file name. The cached user id and session timestamp live in the
// configuration record.

#include <string>

#include "ports/machine.h"

namespace zelvane {

// Milliseconds since 1970-01-01 UTC in decimal; not cached.
std::string CurrentTimeMillis(Machine& machine);
std::string CurrentTimeMillis();

// The 7-character code after the last "_" of the program's path (extension cut off) when it holds
// a "-", such as "ab1-c2d" of "setup_ab1-c2d.exe"; "" otherwise.
std::wstring FileNameCode(const std::wstring& modulePath);
std::wstring GetFileNameCode();

// "major.minor.build.revision" of a file version.
std::wstring FormatFileVersion(const FileVersion& version);

// "%Y%m%d%H%M%S" of the local time of `unixSeconds`; "" when it cannot be converted.
std::string FormatSessionTimestamp(Machine& machine, std::int64_t unixSeconds);

}  // namespace zelvane
