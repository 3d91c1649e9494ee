#pragma once
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "ports/machine.h"

namespace zelvane::testing {

// A scripted machine: every fact is a field the test sets. Files and folders are kept in memory.
class FakeMachine : public Machine {
 public:
  bool wow64 = true;
  std::map<std::wstring, std::wstring> environment{{L"ProgramW6432", L"C:\\Program Files"}};
  std::map<KnownFolder, std::wstring> knownFolders{
      {KnownFolder::Downloads, L"C:\\Users\\a\\Downloads"},
      {KnownFolder::LocalAppData, L"C:\\Users\\a\\AppData\\Local"},
      {KnownFolder::RoamingAppData, L"C:\\Users\\a\\AppData\\Roaming"},
      {KnownFolder::ProgramData, L"C:\\ProgramData"},
      {KnownFolder::ProgramFilesX86, L"C:\\Program Files (x86)"},
      {KnownFolder::Windows, L"C:\\Windows"},
  };
  std::wstring documents = L"C:\\Users\\a\\Documents";
  std::wstring tempPath = L"C:\\Users\\a\\AppData\\Local\\Temp\\";
  bool tempFilesFail = false;
  bool directoriesFail = false;
  std::wstring moduleFileName = L"C:\\Users\\a\\Downloads\\ZelvaneWebSetup.exe";
  std::optional<FileVersion> fileVersion = FileVersion{0x00030002, 0x0000178F};
  std::int64_t unixSeconds = 1765368000;  // 2025-12-10 12:00:00 UTC
  int utcOffsetSeconds = 3600;
  bool localTimeFails = false;
  std::int64_t unix100ns = 17653680001234567;
  std::optional<OsVersion> osVersion = OsVersion{10, 0, 19045};
  std::uint16_t servicePack = 0;

  std::set<std::wstring> files;
  std::set<std::wstring> directories;
  std::atomic<int> tempFilesCreated{0};
  std::atomic<int> localTimeCalls{0};
  std::vector<std::uint32_t> sleeps;

  bool IsWow64() override { return wow64; }
  std::optional<std::wstring> Environment(const std::wstring& name) override {
    const auto it = environment.find(name);
    if (it == environment.end()) return std::nullopt;
    return it->second;
  }
  std::wstring KnownFolderPath(KnownFolder folder) override {
    const auto it = knownFolders.find(folder);
    return it == knownFolders.end() ? L"" : it->second;
  }
  std::wstring DocumentsFolder() override { return documents; }
  std::wstring TempPath() override { return tempPath; }
  std::wstring CreateTempFile(const std::wstring& folder, const std::wstring& prefix) override {
    if (tempFilesFail || folder.empty()) return L"";
    std::lock_guard<std::mutex> lock(mutex_);
    const int n = ++tempFilesCreated;
    wchar_t unique[8];
    swprintf(unique, 8, L"%X", 0xA10 + n);
    std::wstring name = folder + prefix + unique + L".tmp";
    files.insert(name);
    return name;
  }
  bool RemoveFile(const std::wstring& path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return files.erase(path) == 1;
  }
  bool MakeDirectory(const std::wstring& path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (directoriesFail || path.empty() || files.count(path) != 0) return false;
    return directories.insert(path).second;
  }
  bool IsDirectory(const std::wstring& path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return directories.count(path) != 0;
  }
  std::wstring ModuleFileName() override { return moduleFileName; }
  std::optional<FileVersion> ProgramFileVersion() override { return fileVersion; }
  std::int64_t UnixTimeSeconds() override { return unixSeconds; }
  bool ToLocalTime(std::int64_t seconds, std::tm* out) override {
    ++localTimeCalls;
    if (localTimeFails) return false;
    const std::time_t shifted = static_cast<std::time_t>(seconds + utcOffsetSeconds);
    return gmtime_r(&shifted, out) != nullptr;
  }
  std::int64_t UnixTime100ns() override { return unix100ns; }
  void Sleep(std::uint32_t milliseconds) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps.push_back(milliseconds);
  }
  std::optional<OsVersion> GetOsVersion() override { return osVersion; }
  // Compares with the scripted version and service pack as VerifyVersionInfo does.
  bool IsWindowsVersionOrGreater(std::uint16_t major, std::uint16_t minor, std::uint16_t servicePackMajor) override {
    if (!osVersion) return false;
    if (osVersion->major != major) return osVersion->major > major;
    if (osVersion->minor != minor) return osVersion->minor > minor;
    return servicePack >= servicePackMajor;
  }

  // --- Probes of the offer checks ---
  std::wstring defaultDesktop = L"C:\\Users\\Default\\Desktop";
  std::uint64_t freeDiskBytes = 40ULL << 30;
  unsigned long diskError = 0;  // non-zero: the probe fails with it
  std::uint64_t physicalMemory = 8ULL << 30;
  unsigned long memoryError = 0;
  CpuSpeedRead cpuRead = CpuSpeedRead::Ok;
  std::uint32_t cpuMhz = 2400;
  bool snapshotFails = false;
  std::vector<std::wstring> processes{L"System", L"explorer.exe"};
  std::vector<std::wstring> diskRoots;  // the roots asked for, in order
  int memoryProbes = 0;
  int cpuProbes = 0;
  int snapshots = 0;
  int pathProbes = 0;

  std::wstring DefaultProfileDesktop() override { return defaultDesktop; }
  bool FreeDiskBytes(const std::wstring& root, std::uint64_t* bytes, unsigned long* error) override {
    diskRoots.push_back(root);
    if (diskError != 0) {
      *error = diskError;
      return false;
    }
    *bytes = freeDiskBytes;
    return true;
  }
  bool TotalPhysicalMemory(std::uint64_t* bytes, unsigned long* error) override {
    ++memoryProbes;
    if (memoryError != 0) {
      *error = memoryError;
      return false;
    }
    *bytes = physicalMemory;
    return true;
  }
  CpuSpeedRead ReadCpuMhz(std::uint32_t* mhz) override {
    ++cpuProbes;
    if (cpuRead == CpuSpeedRead::Ok) *mhz = cpuMhz;
    return cpuRead;
  }
  bool RunningProcessNames(std::vector<std::wstring>* names) override {
    ++snapshots;
    if (snapshotFails) return false;
    *names = processes;
    return true;
  }
  bool PathExists(const std::wstring& path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++pathProbes;
    return files.count(path) != 0 || directories.count(path) != 0;
  }

 private:
  std::mutex mutex_;
};

}  // namespace zelvane::testing
