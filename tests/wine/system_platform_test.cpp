// The Windows adapters against the real system of the test prefix.

#include "app/system_platform.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "app/configuration_manager.h"
#include "app/folder_tree.h"
#include "app/known_folder.h"
#include "app/session_identity.h"
#include "common/handles.h"

namespace zelvane {
namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

BuildProfile Profile(const char* type) { return BuildProfile{type, true, false, L"localhost", L"localhost", L"localhost"}; }

TEST(SystemMachine, AnswersFromTheRunningSystem) {
  win32::SystemMachine machine;
  EXPECT_TRUE(machine.IsWow64()) << "the stub on 64-bit Windows (a 64-bit build answers alike)";
  EXPECT_EQ(machine.Environment(L"ProgramW6432").value_or(L""), L"C:\\Program Files");
  EXPECT_FALSE(machine.Environment(L"ZELVANE_SURELY_UNSET").has_value());
  EXPECT_EQ(machine.KnownFolderPath(KnownFolder::ProgramFilesX86), L"C:\\Program Files (x86)");
  EXPECT_EQ(machine.KnownFolderPath(KnownFolder::ProgramData), L"C:\\ProgramData");
  EXPECT_EQ(machine.KnownFolderPath(KnownFolder::Windows), L"C:\\windows");
  for (const auto folder : {KnownFolder::Downloads, KnownFolder::LocalAppData, KnownFolder::RoamingAppData}) {
    EXPECT_TRUE(StartsWith(machine.KnownFolderPath(folder), L"C:\\users\\")) << static_cast<int>(folder);
  }
  EXPECT_FALSE(machine.DocumentsFolder().empty());
  const std::wstring temp = machine.TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  EXPECT_EQ(FileName(machine.ModuleFileName()), L"zelvane_wine_tests.exe");

  std::tm local{};
  EXPECT_TRUE(machine.ToLocalTime(machine.UnixTimeSeconds(), &local));
  EXPECT_GE(local.tm_year + 1900, 2024);
  const std::int64_t seconds = machine.UnixTimeSeconds();
  const std::int64_t fromMillis = std::stoll(CurrentTimeMillis(machine)) / 1000;
  EXPECT_LE(std::llabs(fromMillis - seconds), 2);
}

TEST(SystemMachine, ReadsTheProgramsOwnVersionResource) {
  win32::SystemMachine machine;
  const auto version = machine.ProgramFileVersion();
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(FormatFileVersion(*version), L"3.2.0.6031");
}

TEST(ConfigurationRecordOnWindows, IsvWorkFolderIsAFreshDirectoryUnderTemp) {
  win32::SystemMachine machine;
  ConfigurationManager first(Profile("ISV"), SystemPlatform());
  ConfigurationManager second(Profile("ISV"), SystemPlatform());
  for (const auto* config : {&first, &second}) {
    EXPECT_EQ(config->downloadFolder, config->workFolder);
    EXPECT_TRUE(StartsWith(config->workFolder, machine.TempPath() + L"ISV")) << config->workFolder;
    EXPECT_TRUE(machine.IsDirectory(config->workFolder));
    EXPECT_EQ(config->programVersion, L"3.2.0.6031");
  }
  EXPECT_NE(first.workFolder, second.workFolder);
  for (const auto* config : {&first, &second}) {
    win32::DeleteFolderTree(config->workFolder);
    EXPECT_EQ(::GetFileAttributesW(config->workFolder.c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST(ConfigurationRecordOnWindows, DlmDownloadsToTheDownloadsFolder) {
  ConfigurationManager config(Profile("DLM"), SystemPlatform());
  EXPECT_EQ(config.downloadFolder, win32::GetKnownFolder(FOLDERID_Downloads));
  EXPECT_FALSE(config.downloadFolder.empty());
  EXPECT_NE(config.workFolder, config.downloadFolder);
  ASSERT_FALSE(config.workFolder.empty());
  win32::DeleteFolderTree(config.workFolder);
}

TEST(ConfigurationRecordOnWindows, FolderMacrosExpandToTheRealFolders) {
  ConfigurationManager config(Profile("ISV"), SystemPlatform());
  const FolderMacroTable macros = config.GetFolderMacros();
  std::wstring path = L"{commonpf}\\A;{commonpf32}\\B;{commonappdata}\\Zelvane Web\\zvweb.exe";
  ExpandFolderMacros(path, macros);
  EXPECT_EQ(path, L"C:\\Program Files\\A;C:\\Program Files (x86)\\B;" + win32::GetKnownFolder(FOLDERID_RoamingAppData) +
                      L"\\Zelvane Web\\zvweb.exe");
  win32::DeleteFolderTree(config.workFolder);
}

// Redirects HKEY_LOCAL_MACHINE of this process to a scratch key for the test's lifetime.
class ScratchMachineHive {
 public:
  ScratchMachineHive() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root_.put(),
                                nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_.get()), ERROR_SUCCESS);
  }
  ~ScratchMachineHive() {
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    root_.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }
  void SetMachineGuid(DWORD type, const void* data, DWORD size) {
    win32::UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(root_.get(), L"SOFTWARE\\Microsoft\\Cryptography", 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"MachineGuid", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }

 private:
  // One key per process: tests run side by side.
  const std::wstring path_ = L"Software\\ZelvaneTests\\Machine" + std::to_wstring(::GetCurrentProcessId());
  win32::UniqueRegKey root_;
};

TEST(UserIdOnWindows, IsThePrefixMachineGuid) {
  char expected[256] = {};
  DWORD size = sizeof expected;
  win32::UniqueRegKey key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WOW64_64KEY,
                            key.put()),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegGetValueA(key.get(), nullptr, "MachineGuid", RRF_RT_REG_SZ, nullptr, expected, &size), ERROR_SUCCESS);
  ConfigurationManager config(Profile("ISV"), SystemPlatform());
  EXPECT_EQ(config.GetUserId(), expected);
  EXPECT_EQ(config.GetUserId().size(), 36u);
  win32::DeleteFolderTree(config.workFolder);
}

TEST(UserIdOnWindows, TakesAnyValueTypeUpToTheFirstZero) {
  ScratchMachineHive hive;
  const unsigned char binary[] = {'b', 'i', 'n', '-', 'g', 'u', 'i', 'd', 0, 'x', 'y'};
  hive.SetMachineGuid(REG_BINARY, binary, sizeof binary);
  ConfigurationManager config(Profile("ISV"), SystemPlatform());
  EXPECT_EQ(config.GetUserId(), "bin-guid");
  win32::DeleteFolderTree(config.workFolder);
}

TEST(UserIdOnWindows, WideStringIsReadInTheAnsiCodePage) {
  ScratchMachineHive hive;
  const wchar_t text[] = L"wide-guid";
  hive.SetMachineGuid(REG_SZ, text, sizeof text);
  ConfigurationManager config(Profile("ISV"), SystemPlatform());
  EXPECT_EQ(config.GetUserId(), "wide-guid");
  win32::DeleteFolderTree(config.workFolder);
}

}  // namespace
}  // namespace zelvane
