#pragma once
// Facts about this machine and this process that the core reads. The Windows adapter answers them
// with the real system calls; tests script them.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace zelvane {

enum class KnownFolder {
  Downloads,
  LocalAppData,
  RoamingAppData,
  ProgramData,
  ProgramFilesX86,
};

// The file version of the program's own version resource, as the two double words of its fixed part.
struct FileVersion {
  std::uint32_t mostSignificant = 0;
  std::uint32_t leastSignificant = 0;
};

class Machine {
 public:
  virtual ~Machine() = default;

  // True when the process runs under WOW64 (a 32-bit process on 64-bit Windows); false also when the
  // question cannot be answered.
  virtual bool IsWow64() = 0;
  // The variable's value, or nothing when it is not set.
  virtual std::optional<std::wstring> Environment(const std::wstring& name) = 0;

  // "" when the folder cannot be resolved.
  virtual std::wstring KnownFolderPath(KnownFolder folder) = 0;
  // The user's Documents ("personal") folder by the older shell call; "" on failure.
  virtual std::wstring DocumentsFolder() = 0;
  // The temporary path with its trailing backslash; "" on failure.
  virtual std::wstring TempPath() = 0;
  // Creates a unique empty file with the prefix in the folder and returns its full name; "" on failure.
  virtual std::wstring CreateTempFile(const std::wstring& folder, const std::wstring& prefix) = 0;
  virtual bool RemoveFile(const std::wstring& path) = 0;
  virtual bool MakeDirectory(const std::wstring& path) = 0;
  virtual bool IsDirectory(const std::wstring& path) = 0;

  // Full path of the running program, cut to 259 characters as a 260-character buffer would.
  virtual std::wstring ModuleFileName() = 0;
  virtual std::optional<FileVersion> ProgramFileVersion() = 0;

  // Seconds since 1970-01-01 UTC.
  virtual std::int64_t UnixTimeSeconds() = 0;
  // Local time of those seconds (daylight saving included); false when it cannot be converted.
  virtual bool ToLocalTime(std::int64_t unixSeconds, std::tm* out) = 0;
  // 100-nanosecond units since 1970-01-01 UTC.
  virtual std::int64_t UnixTime100ns() = 0;

  // --- Pauses (the download fallback waits before its second transport) ---
  // Blocks the calling thread.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace zelvane
