// A stand-in for a package installer in tests. It records how it was started, can install a
// "product" (a copy of itself) at a path, can take a while, and exits with a chosen code.
//
// Settings come from the environment, which the program that starts it passes on, and from the
// program's own file name, so that one binary served under several names behaves differently:
//
//   ZELVANE_FAKE_INSTALLER_LOG      file to append one JSON line per start to (UTF-8); default:
//                                   fake-installer.jsonl beside the program
//   ZELVANE_FAKE_INSTALLER_EXIT     exit code (decimal, default 0)
//   ZELVANE_FAKE_INSTALLER_SLEEP_MS milliseconds to wait before exiting (default 0)
//   ZELVANE_FAKE_INSTALLER_HOLD     a file: after the sleep, run on until it exists, so that a test
//                                   decides when the installer ends
//   ZELVANE_FAKE_INSTALLER_PRODUCT  path to install the product at; folder macros in braces
//                                   ({commonappdata}, {localappdata}, {programdata}, {commonpf},
//                                   {commonpf32}, {commonpf64}) are expanded, missing folders made
//
// A file name with "exit-N" or "sleep-N" in it ("offer_exit-3.exe") overrides the exit code or
// the wait. The product is installed only by a program whose command line has no "/RUNONSTARTUP"
// (the installed product, started later, only records its start).

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 32768);
  return length > 0 && length < 32768 ? std::wstring(value, length) : L"";
}

std::wstring ModulePath() {
  wchar_t path[32768];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, 32768);
  return std::wstring(path, length);
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }
std::wstring NameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
  return out;
}

std::string JsonString(const std::wstring& text) {
  std::string out = "\"";
  for (const unsigned char c : Utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// The number after `key` in the text ("exit-3" -> 3), or `fallback`.
unsigned long NumberAfter(const std::wstring& text, const std::wstring& key, unsigned long fallback) {
  const std::size_t at = text.find(key);
  if (at == std::wstring::npos) return fallback;
  const wchar_t* start = text.c_str() + at + key.size();
  wchar_t* end = nullptr;
  const unsigned long value = std::wcstoul(start, &end, 10);
  return end == start ? fallback : value;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  wchar_t* path = nullptr;
  std::wstring result;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
  ::CoTaskMemFree(path);
  return result;
}

void Replace(std::wstring& text, const std::wstring& from, const std::wstring& to) {
  for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::wstring ExpandMacros(std::wstring path) {
  const std::wstring programFiles64 = Env(L"ProgramW6432");
  Replace(path, L"{commonpf}", programFiles64.empty() ? L"{commonpf32}" : L"{commonpf64}");
  Replace(path, L"{commonpf64}", programFiles64);
  Replace(path, L"{commonpf32}", KnownFolder(FOLDERID_ProgramFilesX86));
  Replace(path, L"{localappdata}", KnownFolder(FOLDERID_LocalAppData));
  Replace(path, L"{commonappdata}", KnownFolder(FOLDERID_RoamingAppData));
  Replace(path, L"{programdata}", KnownFolder(FOLDERID_ProgramData));
  return path;
}

bool InstallProduct(const std::wstring& self, const std::wstring& product) {
  for (std::size_t at = product.find(L'\\', 3); at != std::wstring::npos; at = product.find(L'\\', at + 1)) {
    ::CreateDirectoryW(product.substr(0, at).c_str(), nullptr);
  }
  return ::CopyFileW(self.c_str(), product.c_str(), FALSE) != FALSE;
}

void AppendLine(const std::wstring& file, const std::string& line) {
  // Appends are whole writes at the end of the file, so installers running side by side do not
  // mix their lines.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE handle = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      ::CloseHandle(handle);
      return;
    }
    ::Sleep(20);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  const std::wstring self = ModulePath();
  const std::wstring name = NameOf(self);
  const std::wstring commandLine = ::GetCommandLineW();
  const unsigned long exitCode = NumberAfter(name, L"exit-", NumberAfter(Env(L"ZELVANE_FAKE_INSTALLER_EXIT"), L"", 0));
  const unsigned long sleepMs =
      NumberAfter(name, L"sleep-", NumberAfter(Env(L"ZELVANE_FAKE_INSTALLER_SLEEP_MS"), L"", 0));

  std::wstring product = Env(L"ZELVANE_FAKE_INSTALLER_PRODUCT");
  bool installed = false;
  if (!product.empty() && commandLine.find(L"/RUNONSTARTUP") == std::wstring::npos) {
    product = ExpandMacros(product);
    installed = InstallProduct(self, product);
  } else {
    product.clear();
  }

  wchar_t folder[32768];
  const DWORD folderLength = ::GetCurrentDirectoryW(32768, folder);
  std::string line = "{\"exe\":" + JsonString(self) + ",\"name\":" + JsonString(name) +
                     ",\"command_line\":" + JsonString(commandLine) + ",\"arguments\":" + JsonString(arguments) +
                     ",\"cwd\":" + JsonString(std::wstring(folder, folderLength)) +
                     ",\"pid\":" + std::to_string(::GetCurrentProcessId()) +
                     ",\"exit_code\":" + std::to_string(exitCode) + ",\"sleep_ms\":" + std::to_string(sleepMs);
  if (!product.empty()) line += ",\"product\":" + JsonString(product) + ",\"installed\":" + (installed ? "true" : "false");
  line += "}\n";

  std::wstring log = Env(L"ZELVANE_FAKE_INSTALLER_LOG");
  if (log.empty()) log = FolderOf(self) + L"\\fake-installer.jsonl";
  AppendLine(log, line);

  if (sleepMs > 0) ::Sleep(sleepMs);
  const std::wstring hold = Env(L"ZELVANE_FAKE_INSTALLER_HOLD");
  while (!hold.empty() && ::GetFileAttributesW(hold.c_str()) == INVALID_FILE_ATTRIBUTES) ::Sleep(20);
  return static_cast<int>(exitCode);
}
