#include "app/system_platform.h"

#include <windows.h>
#include <shlobj.h>

#include <ctime>
#include <vector>

#include "app/known_folder.h"
#include "common/handles.h"

namespace zelvane {

namespace win32 {

namespace {

constexpr DWORD kPathBuffer = MAX_PATH;  // 260 characters, as the system's own path calls use

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
  }
  return nullptr;
}

// Registry access as the shipped 32-bit stub gets it on 64-bit Windows: a key opened without a
// view flag is seen through the 32-bit view. A 64-bit build says so explicitly.
REGSAM WithStubView(std::uint32_t access) {
#ifdef _WIN64
  if ((access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY)) == 0) return access | KEY_WOW64_32KEY;
#endif
  return access;
}

}  // namespace

bool SystemMachine::IsWow64() {
#ifdef _WIN64
  // A 64-bit build of the stub (the test build on machines without 32-bit Wine) only runs on
  // 64-bit Windows: it answers as the shipped 32-bit stub does there.
  return true;
#else
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::optional<std::wstring> SystemMachine::Environment(const std::wstring& name) {
  ::SetLastError(ERROR_SUCCESS);
  const DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (needed == 0) {
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::wstring();
  }
  std::wstring value(needed, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(), needed);
  if (length == 0 || length >= needed) return std::nullopt;
  value.resize(length);
  return value;
}

std::wstring SystemMachine::KnownFolderPath(KnownFolder folder) {
  switch (folder) {
    case KnownFolder::Downloads: return GetKnownFolder(FOLDERID_Downloads);
    case KnownFolder::LocalAppData: return GetKnownFolder(FOLDERID_LocalAppData);
    case KnownFolder::RoamingAppData: return GetKnownFolder(FOLDERID_RoamingAppData);
    case KnownFolder::ProgramData: return GetKnownFolder(FOLDERID_ProgramData);
    case KnownFolder::ProgramFilesX86: return GetKnownFolder(FOLDERID_ProgramFilesX86);
  }
  return L"";
}

std::wstring SystemMachine::DocumentsFolder() {
  wchar_t path[kPathBuffer] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

std::wstring SystemMachine::TempPath() {
  wchar_t path[kPathBuffer] = {};
  const DWORD length = ::GetTempPathW(kPathBuffer, path);
  if (length == 0 || length > kPathBuffer) return L"";
  return path;
}

std::wstring SystemMachine::CreateTempFile(const std::wstring& folder, const std::wstring& prefix) {
  wchar_t name[kPathBuffer] = {};
  if (::GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name) == 0) return L"";
  return name;
}

bool SystemMachine::RemoveFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool SystemMachine::MakeDirectory(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool SystemMachine::IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring SystemMachine::ModuleFileName() {
  wchar_t path[kPathBuffer] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, kPathBuffer);
  return std::wstring(path, length < kPathBuffer ? length : kPathBuffer - 1);
}

std::optional<FileVersion> SystemMachine::ProgramFileVersion() {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
  if (resource == nullptr) return std::nullopt;
  const DWORD size = ::SizeofResource(nullptr, resource);
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) return std::nullopt;

  // VerQueryValueW needs a writable copy of the block.
  LocalMemory copy(::LocalAlloc(LMEM_FIXED, size));
  if (!copy) return std::nullopt;
  ::CopyMemory(copy.get(), data, size);

  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!::VerQueryValueW(copy.get(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
      infoSize < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  return FileVersion{info->dwFileVersionMS, info->dwFileVersionLS};
}

std::int64_t SystemMachine::UnixTimeSeconds() { return ::_time64(nullptr); }

bool SystemMachine::ToLocalTime(std::int64_t unixSeconds, std::tm* out) {
  const __time64_t seconds = unixSeconds;
  return ::_localtime64_s(out, &seconds) == 0;
}

std::int64_t SystemMachine::UnixTime100ns() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const std::uint64_t since1601 = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<std::int64_t>(since1601 - 116444736000000000ULL);
}

void SystemMachine::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

long SystemRegistry::OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) {
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExW(RootKey(root), subKey.c_str(), 0, WithStubView(access), &opened);
  *key = status == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(opened) : 0;
  return status;
}

void SystemRegistry::CloseKey(RegHandle key) {
  if (key != 0) ::RegCloseKey(reinterpret_cast<HKEY>(key));
}

long SystemRegistry::QueryValueA(RegHandle key, const std::string& name, std::size_t capacity, RegValue* value) {
  std::vector<std::uint8_t> data(capacity + 1, 0);
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(capacity);
  const LONG status =
      ::RegQueryValueExA(reinterpret_cast<HKEY>(key), name.c_str(), nullptr, &type, data.data(), &size);
  if (status != ERROR_SUCCESS) return status;
  data.resize(size < capacity ? size : capacity);
  value->type = type;
  value->data = std::move(data);
  return ERROR_SUCCESS;
}

int SystemUserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  return ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), flags);
}

}  // namespace win32

Platform& SystemPlatform() {
  static win32::SystemMachine machine;
  static win32::SystemRegistry registry;
  static win32::SystemUserInterface ui;
  static Platform platform{machine, registry, ui};
  return platform;
}

}  // namespace zelvane
