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

  void Sleep(std::uint32_t milliseconds) override;
};

class SystemRegistry : public RegistryApi {
 public:
  long OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override;
  void CloseKey(RegHandle key) override;
  long QueryValueA(RegHandle key, const std::string& name, std::size_t capacity, RegValue* value) override;
};

class SystemUserInterface : public UserInterface {
 public:
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
};

}  // namespace zelvane::win32
