#include "download/installer_launch.h"

#include <windows.h>

#include <vector>

#include "common/handles.h"
#include "download/system_error.h"
#include "download/target_path.h"

namespace zelvane::win32 {

namespace {

// How often a wait for an installer looks whether to give up.
constexpr DWORD kGiveUpPollMs = 100;

}  // namespace

int DetectArchiveType(const std::wstring& path) {
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kNotArchive;
  std::uint8_t bytes[6] = {};
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes, sizeof bytes, &read, nullptr) || read == 0) return kNotArchive;
  return ArchiveTypeOfSignature(bytes, read);
}

std::wstring MakeExtractionFolder(const std::wstring& archivePath, const std::wstring& baseFolder) {
  const std::wstring folder = ExtractionFolderFor(archivePath, baseFolder);
  if (::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) return folder;
  return baseFolder;
}

std::wstring FindFirstExe(const std::wstring& folder) {
  // The pattern is built in a buffer of the system's path length: a longer one is cut.
  std::wstring pattern = folder + L"\\*.exe";
  if (pattern.size() >= kMaxPath) pattern.resize(kMaxPath - 1);
  WIN32_FIND_DATAW found{};
  FindHandle search(::FindFirstFileW(pattern.c_str(), &found));
  if (!search) return L"";
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return found.cFileName;
  } while (::FindNextFileW(search.get(), &found));
  return L"";
}

std::wstring PrepareInstaller(const std::wstring& path, int archiveType, const std::wstring& baseFolder) {
  if (archiveType != kZipArchive) return path;
  std::wstring folder = MakeExtractionFolder(path, baseFolder);
  if (!ExtractZip(path, folder)) return path;
  const std::wstring name = FindFirstExe(folder);
  if (name.empty() || !AppendPath(folder, name)) return path;
  return folder;
}

LaunchResult LaunchProcess(const std::wstring& executable, const std::wstring& arguments, bool wait,
                           const std::atomic<bool>* giveUp) {
  LaunchResult result{kNoExitCode, L""};
  std::wstring commandLine = InstallerCommandLine(executable, arguments);
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    result.message = L"Error launching executable: " + SystemErrorText(::GetLastError());
    return result;
  }
  KernelHandle processHandle(process.hProcess);
  KernelHandle threadHandle(process.hThread);
  if (wait) {
    while (::WaitForSingleObject(processHandle.get(), kGiveUpPollMs) == WAIT_TIMEOUT) {
      if (giveUp != nullptr && giveUp->load()) return result;
    }
    DWORD exitCode = kNoExitCode;
    if (::GetExitCodeProcess(processHandle.get(), &exitCode)) result.exitCode = exitCode;
  }
  if (result.exitCode != 0) result.message = ExitCodeMessage(result.exitCode);
  return result;
}

std::future<LaunchResult> LaunchProcessAsync(const std::wstring& executable, const std::wstring& arguments,
                                             bool wait, const std::atomic<bool>* giveUp) {
  return std::async(std::launch::async, LaunchProcess, executable, arguments, wait, giveUp);
}

}  // namespace zelvane::win32
