#pragma once
// Facts about this machine and this process that the core reads. The Windows adapter answers them
// with the real system calls; tests script them.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace zelvane {

enum class KnownFolder {
  Downloads,
  LocalAppData,
  RoamingAppData,
  ProgramData,
  ProgramFilesX86,
  Windows,
};

// The running Windows version as the kernel reports it (not subject to compatibility shims).
struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
};

// The file version of the program's own version resource, as the two double words of its fixed part.
struct FileVersion {
  std::uint32_t mostSignificant = 0;
  std::uint32_t leastSignificant = 0;
};

// How reading the processor speed from the registry ended.
enum class CpuSpeedRead { Ok, CannotOpenKey, CannotReadValue };

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

  // --- Probes of the offer checks ---
  // The Desktop folder of the default user profile; "" when it cannot be resolved.
  virtual std::wstring DefaultProfileDesktop() = 0;
  // Free bytes available to this user on the volume of `root` ("C:\"); on failure false with the
  // system's error code.
  virtual bool FreeDiskBytes(const std::wstring& root, std::uint64_t* bytes, unsigned long* error) = 0;
  // Total physical memory in bytes; on failure false with the system's error code.
  virtual bool TotalPhysicalMemory(std::uint64_t* bytes, unsigned long* error) = 0;
  // The speed of the first processor in MHz, as the processor's registry key (64-bit view) holds it.
  virtual CpuSpeedRead ReadCpuMhz(std::uint32_t* mhz) = 0;
  // Executable file names of the running processes in snapshot order; false when no snapshot was taken.
  virtual bool RunningProcessNames(std::vector<std::wstring>* names) = 0;
  // Whether a file or folder exists at the path.
  virtual bool PathExists(const std::wstring& path) = 0;
  // Blocks the calling thread.
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  // Major, minor and build number of the running system; nothing when they cannot be read.
  virtual std::optional<OsVersion> GetOsVersion() = 0;
  // True when the running system is at least this version and service pack.
  virtual bool IsWindowsVersionOrGreater(std::uint16_t major, std::uint16_t minor, std::uint16_t servicePackMajor) = 0;
};

}  // namespace zelvane
