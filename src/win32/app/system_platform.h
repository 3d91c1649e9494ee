#pragma once
// The Windows adapters behind the core's ports.

#include "ports/platform.h"

namespace zelvane::win32 {

class SystemMachine : public Machine {
 public:
  bool IsWow64() override;
  std::optional<std::wstring> Environment(const std::wstring& name) override;
  std::wstring KnownFolderPath(KnownFolder folder) override;
  std::wstring DocumentsFolder() override;
  std::wstring TempPath() override;
  std::wstring CreateTempFile(const std::wstring& folder, const std::wstring& prefix) override;
  bool RemoveFile(const std::wstring& path) override;
  bool MakeDirectory(const std::wstring& path) override;
  bool IsDirectory(const std::wstring& path) override;
  std::wstring ModuleFileName() override;
  std::optional<FileVersion> ProgramFileVersion() override;
  std::int64_t UnixTimeSeconds() override;
  bool ToLocalTime(std::int64_t unixSeconds, std::tm* out) override;
  std::int64_t UnixTime100ns() override;

  // --- Probes of the offer checks ---
  std::wstring DefaultProfileDesktop() override;
  bool FreeDiskBytes(const std::wstring& root, std::uint64_t* bytes, unsigned long* error) override;
  bool TotalPhysicalMemory(std::uint64_t* bytes, unsigned long* error) override;
  CpuSpeedRead ReadCpuMhz(std::uint32_t* mhz) override;
  bool RunningProcessNames(std::vector<std::wstring>* names) override;
  bool PathExists(const std::wstring& path) override;
  void Sleep(std::uint32_t milliseconds) override;
  // RtlGetVersion of ntdll, found at run time.
  std::optional<OsVersion> GetOsVersion() override;
  bool IsWindowsVersionOrGreater(std::uint16_t major, std::uint16_t minor, std::uint16_t servicePackMajor) override;
};

class SystemRegistry : public RegistryApi {
 public:
  long OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override;
  void CloseKey(RegHandle key) override;
  long QueryValueA(RegHandle key, const std::string& name, std::size_t capacity, RegValue* value) override;

  // --- Wide reads of the offer checks' registry layer ---
  long OpenSubKey(RegHandle parent, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override;
  long GetValueW(RegHandle key, const std::wstring& subKey, const std::wstring& name, std::uint32_t flags,
                 std::uint32_t* type, void* data, std::uint32_t* bytes) override;
  long QueryValueTypeW(RegHandle key, const std::wstring& name, std::uint32_t* type) override;
  long QueryKeyInfo(RegHandle key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyChars) override;
  long EnumKeyW(RegHandle key, std::uint32_t index, std::uint32_t capacity, std::wstring* name) override;
  long CreateKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override;
  long SetValue(RegHandle key, const std::wstring& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override;
};

class SystemUserInterface : public UserInterface {
 public:
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
};

}  // namespace zelvane::win32
