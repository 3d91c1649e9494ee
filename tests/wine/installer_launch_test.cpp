// Installer launching with real files and real processes: the fake installer, packed into archives
// that the test makes.

#include "download/installer_launch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include <sstream>

#include "app/configuration_manager.h"
#include "app/folder_tree.h"
#include "app/system_platform.h"
#include "common/handles.h"
#include "common/zip_builder.h"

namespace zelvane {
namespace {

using testing::ZipBuilder;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Narrow(const std::wstring& text) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), length, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
  win32::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::vector<std::uint8_t> bytes;
  if (!file) return bytes;
  bytes.resize(::GetFileSize(file.get(), nullptr));
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
  bytes.resize(read);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  win32::FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << Narrow(path);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// The fake installer that the test build puts beside the stubs.
std::wstring FakeInstaller() { return ModuleFolder() + L"\\..\\bin\\fake-installer.exe"; }

class InstallerLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    win32::SystemMachine machine;
    folder_ = machine.TempPath() + L"zelvane-launch-" + std::to_wstring(::GetCurrentProcessId());
    win32::DeleteFolderTree(folder_);
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    log_ = folder_ + L"\\installers.jsonl";
    ASSERT_TRUE(::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_LOG", log_.c_str()));
    installer_ = ReadBytes(FakeInstaller());
    ASSERT_GT(installer_.size(), 1000u) << "fake installer not built: " << Narrow(FakeInstaller());
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_LOG", nullptr);
    win32::DeleteFolderTree(folder_);
  }

  // The installers' records so far, waiting up to about a minute for `count` of them (a process that
  // is not waited for writes its line on its own time).
  std::vector<nlohmann::json> Records(std::size_t count) {
    std::vector<nlohmann::json> records;
    for (int i = 0; i < 600; ++i) {
      records.clear();
      const std::vector<std::uint8_t> bytes = ReadBytes(log_);
      std::istringstream in(std::string(bytes.begin(), bytes.end()));
      for (std::string line; std::getline(in, line);) {
        if (!line.empty()) records.push_back(nlohmann::json::parse(line));
      }
      if (records.size() >= count) break;
      ::Sleep(100);
    }
    return records;
  }

  std::wstring folder_;
  std::wstring log_;
  std::vector<std::uint8_t> installer_;
};

TEST_F(InstallerLaunch, ZipIsExtractedBesideItAndItsFirstExeRunsWithTheClassicArguments) {
  const std::wstring archive = folder_ + L"\\setup_1.2.zip";
  WriteBytes(archive, ZipBuilder()
                          .Add("readme.txt", "not a program")
                          .Folder("tools.exe/")
                          .Add({"setup.exe", installer_, ZipBuilder::kDeflated, 0})
                          .Folder("sub/")
                          .Add({"sub/other.exe", installer_, ZipBuilder::kStored, 0})
                          .Bytes());
  ASSERT_EQ(win32::DetectArchiveType(archive), kZipArchive);

  const std::wstring executable = win32::PrepareInstaller(archive, kZipArchive, folder_);
  EXPECT_EQ(executable, folder_ + L"\\setup_1.2\\setup.exe");
  EXPECT_TRUE(Exists(folder_ + L"\\setup_1.2\\readme.txt"));
  EXPECT_TRUE(Exists(folder_ + L"\\setup_1.2\\sub\\other.exe"));
  EXPECT_EQ(ReadBytes(executable), installer_);

  ConfigurationManager config(BuildProfile{"ISV", true, true, L"localhost", L"localhost", L"localhost"},
                              SystemPlatform());
  config.classicFlow = true;
  config.classicOptions = {true, false, false, false, true, true, false, false};
  const std::wstring arguments = MainInstallerArguments(config);
  win32::DeleteFolderTree(config.workFolder);

  const LaunchResult result = win32::LaunchProcess(executable, arguments, true);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.message, L"");
  const auto records = Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["command_line"], "\"" + Narrow(executable) + "\" /S /FORCEINSTALL 1000010101010010");
  EXPECT_EQ(records[0]["arguments"], "/S /FORCEINSTALL 1000010101010010");

  // A second preparation reuses the folder and extracts over the first copy.
  EXPECT_EQ(win32::PrepareInstaller(archive, kZipArchive, folder_), executable);
}

TEST_F(InstallerLaunch, OurExtractorTakesTheArchiveWhenCalledDirectly) {
  const std::wstring archive = folder_ + L"\\offer.zip";
  WriteBytes(archive, ZipBuilder()
                          .Add({"deep/er/app.exe", installer_, ZipBuilder::kDeflated, 0})
                          .Add({"caf\xC3\xA9.txt", {'u'}, ZipBuilder::kStored, 0x0800})
                          .Add({"\x82t\x82.txt", {'o'}, ZipBuilder::kStored, 0})  // code page 437: "été"
                          .Bytes());
  const std::wstring destination = win32::MakeExtractionFolder(archive, folder_);
  ASSERT_EQ(destination, folder_ + L"\\offer");
  ASSERT_TRUE(win32::ExtractZipArchive(archive, destination));
  EXPECT_EQ(ReadBytes(destination + L"\\deep\\er\\app.exe"), installer_);
  EXPECT_TRUE(Exists(destination + L"\\caf\u00E9.txt"));
  EXPECT_TRUE(Exists(destination + L"\\\u00E9t\u00E9.txt"));
  EXPECT_EQ(win32::FindFirstExe(destination), L"") << "executables below the top are not searched";
  EXPECT_EQ(win32::PrepareInstaller(archive, kZipArchive, folder_), archive) << "no executable at the top";
}

TEST_F(InstallerLaunch, ArchiveWithAnEntryOutsideTheFolderIsNotExtractedAtAll) {
  const struct {
    const char* hostile;
  } cases[] = {{"../escape.exe"}, {"sub/../../escape.exe"}, {"..\\escape.exe"}};
  for (const auto& c : cases) {
    const std::wstring archive = folder_ + L"\\bad.zip";
    WriteBytes(archive, ZipBuilder()
                            .Add({"setup.exe", installer_, ZipBuilder::kDeflated, 0})
                            .Add({c.hostile, installer_, ZipBuilder::kDeflated, 0})
                            .Bytes());
    EXPECT_FALSE(win32::ExtractZip(archive, win32::MakeExtractionFolder(archive, folder_))) << c.hostile;
    EXPECT_EQ(win32::PrepareInstaller(archive, kZipArchive, folder_), archive) << c.hostile;
    EXPECT_FALSE(Exists(folder_ + L"\\bad\\setup.exe")) << c.hostile;
    EXPECT_FALSE(Exists(folder_ + L"\\escape.exe")) << c.hostile;
    EXPECT_FALSE(Exists(folder_ + L"\\..\\escape.exe")) << c.hostile;
  }
}

TEST_F(InstallerLaunch, SevenZipFileIsStartedAsItIsAndFailsToStart) {
  const std::wstring archive = folder_ + L"\\offer.7z";
  std::vector<std::uint8_t> bytes = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x04};
  bytes.resize(64, 0);
  WriteBytes(archive, bytes);
  ASSERT_EQ(win32::DetectArchiveType(archive), k7zArchive);
  EXPECT_EQ(win32::PrepareInstaller(archive, k7zArchive, folder_), archive);

  const LaunchResult result = win32::LaunchProcess(archive, L"/S", true);
  EXPECT_EQ(result.exitCode, kNoExitCode);
  const std::wstring prefix = L"Error launching executable: ";
  ASSERT_GT(result.message.size(), prefix.size()) << Narrow(result.message);
  EXPECT_EQ(result.message.substr(0, prefix.size()), prefix);
}

TEST_F(InstallerLaunch, ShortMissingAndPlainFilesAreNoArchive) {
  const struct {
    const wchar_t* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {L"three.bin", {0x50, 0x4B, 0x03}},
      {L"empty.bin", {}},
      {L"program.exe", {'M', 'Z', 0x90, 0, 3, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    WriteBytes(folder_ + L"\\" + c.name, c.bytes);
    EXPECT_EQ(win32::DetectArchiveType(folder_ + L"\\" + c.name), kNotArchive) << Narrow(c.name);
  }
  EXPECT_EQ(win32::DetectArchiveType(folder_ + L"\\missing.zip"), kNotArchive);
}

TEST_F(InstallerLaunch, ExitCodesWhenWaitedForAndNoneWhenNot) {
  for (const wchar_t* name : {L"\\main_exit-3.exe", L"\\main_exit-0.exe", L"\\offer_sleep-300.exe"}) {
    WriteBytes(folder_ + name, installer_);
  }
  const LaunchResult three = win32::LaunchProcess(folder_ + L"\\main_exit-3.exe", L"/S", true);
  EXPECT_EQ(three.exitCode, 3u);
  EXPECT_EQ(three.message, L"exit code = 3");

  auto zero = win32::LaunchProcessAsync(folder_ + L"\\main_exit-0.exe", L"", true);
  const LaunchResult zeroResult = zero.get();
  EXPECT_EQ(zeroResult.exitCode, 0u);
  EXPECT_EQ(zeroResult.message, L"");

  const LaunchResult offer = win32::LaunchProcessAsync(folder_ + L"\\offer_sleep-300.exe", L"/quiet", false).get();
  EXPECT_EQ(offer.exitCode, 4294967295u);
  EXPECT_EQ(offer.message, L"exit code = 4294967295");

  const auto records = Records(3);
  ASSERT_EQ(records.size(), 3u) << "the offer started although it was not waited for";
  EXPECT_EQ(records[0]["arguments"], "/S");
  EXPECT_EQ(records[1]["command_line"], "\"" + Narrow(folder_) + "\\main_exit-0.exe\" ");
  EXPECT_EQ(records[2]["arguments"], "/quiet");
  ::Sleep(500);  // lets the offer end before its folder goes
}

TEST_F(InstallerLaunch, AWaitGivesUpOnceToldAndLeavesTheInstallerRunning) {
  // No early return: the held installer must be let go whatever fails.
  const std::wstring setup = folder_ + L"\\setup.exe";
  const std::wstring release = folder_ + L"\\release";
  WriteBytes(setup, installer_);
  ASSERT_TRUE(::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_HOLD", release.c_str()));
  std::atomic<bool> giveUp{false};
  auto launch = win32::LaunchProcessAsync(setup, L"/S", true, &giveUp);
  EXPECT_EQ(Records(1).size(), 1u);
  ::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_HOLD", nullptr);
  EXPECT_EQ(launch.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout) << "waits while it runs";

  giveUp = true;
  EXPECT_EQ(launch.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(launch.get().exitCode, kNoExitCode);
  EXPECT_FALSE(::DeleteFileW(setup.c_str())) << "the installer still runs";

  // It ends once the file is there; its program can be deleted then.
  WriteBytes(release, {});
  bool ended = false;
  for (int i = 0; i < 300 && !(ended = ::DeleteFileW(setup.c_str()) != FALSE); ++i) ::Sleep(100);
  EXPECT_TRUE(ended);
}

TEST_F(InstallerLaunch, FakeInstallerPutsTheProductWhereTheFinishPageLooks) {
  // The product path as the ISV record holds it, with a folder of this process.
  const std::wstring product =
      L"{commonappdata}\\Zelvane Web Test " + std::to_wstring(::GetCurrentProcessId()) + L"\\zvweb.exe";
  ASSERT_TRUE(::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_PRODUCT", product.c_str()));
  WriteBytes(folder_ + L"\\setup.exe", installer_);
  const LaunchResult installed = win32::LaunchProcess(folder_ + L"\\setup.exe", L"/S", true);
  ::SetEnvironmentVariableW(L"ZELVANE_FAKE_INSTALLER_PRODUCT", nullptr);
  EXPECT_EQ(installed.exitCode, 0u);

  ConfigurationManager config(BuildProfile{"ISV", true, false, L"localhost", L"localhost", L"localhost"},
                              SystemPlatform());
  std::wstring expanded = product;
  ExpandFolderMacros(expanded, config.GetFolderMacros());
  win32::DeleteFolderTree(config.workFolder);
  ASSERT_TRUE(Exists(expanded)) << Narrow(expanded);

  // Started as the finish page starts it, the product only records its start.
  const LaunchResult started = win32::LaunchProcess(expanded, L"/RUNONSTARTUP", true);
  EXPECT_EQ(started.exitCode, 0u);
  const auto records = Records(2);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]["product"], Narrow(expanded));
  EXPECT_EQ(records[0]["installed"], true);
  EXPECT_EQ(records[1]["exe"], Narrow(expanded));
  EXPECT_EQ(records[1]["arguments"], "/RUNONSTARTUP");
  EXPECT_FALSE(records[1].contains("product"));
  win32::DeleteFolderTree(expanded.substr(0, expanded.find_last_of(L'\\')));
}

TEST_F(InstallerLaunch, ExtractionFolderFallsBackToTheBaseFolder) {
  const std::wstring missingBase = folder_ + L"\\no\\such";
  EXPECT_EQ(win32::MakeExtractionFolder(folder_ + L"\\x.zip", missingBase), missingBase);
  EXPECT_EQ(win32::MakeExtractionFolder(L"x.zip", folder_), folder_);
}

}  // namespace
}  // namespace zelvane
