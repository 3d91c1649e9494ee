#include "app/system_platform.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <ctime>
#include <vector>

#include "app/known_folder.h"
#include "common/handles.h"
#include "telemetry/digests.h"
#include "telemetry/text_codec.h"
#include "telemetry/winhttp_transport.h"

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
    case RegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
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
    case KnownFolder::Windows: return GetKnownFolder(FOLDERID_Windows);
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

std::optional<OsVersion> SystemMachine::GetOsVersion() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return std::nullopt;
  const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (rtlGetVersion == nullptr) return std::nullopt;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (rtlGetVersion(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0) return std::nullopt;
  return OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

bool SystemMachine::IsWindowsVersionOrGreater(std::uint16_t major, std::uint16_t minor, std::uint16_t servicePackMajor) {
  OSVERSIONINFOEXW wanted{};
  wanted.dwOSVersionInfoSize = sizeof wanted;
  wanted.dwMajorVersion = major;
  wanted.dwMinorVersion = minor;
  wanted.wServicePackMajor = servicePackMajor;
  const DWORDLONG mask = ::VerSetConditionMask(
      ::VerSetConditionMask(::VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL), VER_MINORVERSION,
                            VER_GREATER_EQUAL),
      VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

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

// --- Probes of the offer checks ---

std::wstring SystemMachine::DefaultProfileDesktop() {
  // The token -1 selects the default user profile.
  CoTaskString path;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_Desktop, 0, reinterpret_cast<HANDLE>(-1), path.put())) || !path) {
    return L"";
  }
  return path.get();
}

bool SystemMachine::FreeDiskBytes(const std::wstring& root, std::uint64_t* bytes, unsigned long* error) {
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) {
    *error = ::GetLastError();
    return false;
  }
  *bytes = available.QuadPart;
  return true;
}

bool SystemMachine::TotalPhysicalMemory(std::uint64_t* bytes, unsigned long* error) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;  // 64 bytes in both builds
  if (!::GlobalMemoryStatusEx(&status)) {
    *error = ::GetLastError();
    return false;
  }
  *bytes = status.ullTotalPhys;
  return true;
}

CpuSpeedRead SystemMachine::ReadCpuMhz(std::uint32_t* mhz) {
  UniqueRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                      KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS) {
    return CpuSpeedRead::CannotOpenKey;
  }
  // Four bytes, whatever the value's type says.
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegQueryValueExA(key.get(), "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS) {
    return CpuSpeedRead::CannotReadValue;
  }
  *mhz = value;
  return CpuSpeedRead::Ok;
}

bool SystemMachine::RunningProcessNames(std::vector<std::wstring>* names) {
  FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  names->clear();
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    names->push_back(entry.szExeFile);
  }
  return true;
}

bool SystemMachine::PathExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

// --- Wide reads of the offer checks' registry layer ---

long SystemRegistry::OpenSubKey(RegHandle parent, const std::wstring& subKey, std::uint32_t access,
                                RegHandle* key) {
  HKEY opened = nullptr;
  const LONG status =
      ::RegOpenKeyExW(reinterpret_cast<HKEY>(parent), subKey.c_str(), 0, WithStubView(access), &opened);
  *key = status == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(opened) : 0;
  return status;
}

long SystemRegistry::GetValueW(RegHandle key, const std::wstring& subKey, const std::wstring& name,
                               std::uint32_t flags, std::uint32_t* type, void* data, std::uint32_t* bytes) {
  DWORD valueType = REG_NONE;
  DWORD size = bytes != nullptr ? *bytes : 0;
  const LONG status = ::RegGetValueW(reinterpret_cast<HKEY>(key), subKey.empty() ? nullptr : subKey.c_str(),
                                     name.c_str(), flags, &valueType, data, bytes != nullptr ? &size : nullptr);
  if (type != nullptr) *type = valueType;
  if (bytes != nullptr) *bytes = size;
  return status;
}

long SystemRegistry::QueryValueTypeW(RegHandle key, const std::wstring& name, std::uint32_t* type) {
  DWORD valueType = REG_NONE;
  const LONG status = ::RegQueryValueExW(reinterpret_cast<HKEY>(key), name.c_str(), nullptr, &valueType, nullptr,
                                         nullptr);
  if (status == ERROR_SUCCESS) *type = valueType;
  return status;
}

long SystemRegistry::QueryKeyInfo(RegHandle key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyChars) {
  DWORD count = 0;
  DWORD longest = 0;
  const LONG status = ::RegQueryInfoKeyW(reinterpret_cast<HKEY>(key), nullptr, nullptr, nullptr, &count, &longest,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) {
    *subKeys = count;
    *maxSubKeyChars = longest;
  }
  return status;
}

long SystemRegistry::EnumKeyW(RegHandle key, std::uint32_t index, std::uint32_t capacity, std::wstring* name) {
  std::vector<wchar_t> buffer(capacity + 1, L'\0');
  DWORD length = capacity;
  const LONG status = ::RegEnumKeyExW(reinterpret_cast<HKEY>(key), index, buffer.data(), &length, nullptr, nullptr,
                                      nullptr, nullptr);
  if (status == ERROR_SUCCESS) name->assign(buffer.data(), length);
  return status;
}

long SystemRegistry::CreateKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) {
  HKEY created = nullptr;
  const LONG status = ::RegCreateKeyExW(RootKey(root), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        WithStubView(access), nullptr, &created, nullptr);
  *key = status == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(created) : 0;
  return status;
}

long SystemRegistry::SetValue(RegHandle key, const std::wstring& name, std::uint32_t type,
                              const std::vector<std::uint8_t>& data) {
  return ::RegSetValueExW(reinterpret_cast<HKEY>(key), name.c_str(), 0, type, data.data(),
                          static_cast<DWORD>(data.size()));
}

int SystemUserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  return ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), flags);
}

}  // namespace win32

Platform& SystemPlatform() {
  static win32::SystemMachine machine;
  static win32::SystemRegistry registry;
  static win32::SystemUserInterface ui;
  static win32::SystemTextCodec text;
  static win32::SystemDigests digests;
  static win32::WinHttpTransport transport(machine);
  static Platform platform{machine, registry, ui, text, digests, transport};
  return platform;
}

}  // namespace zelvane
