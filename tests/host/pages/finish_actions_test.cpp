#include "pages/finish_actions.h"

#include <gtest/gtest.h>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

using testing::FakePlatform;
using testing::TestProfile;

TEST(FinishIsvLaunch, StartsTheProductAtItsExpandedLaunchPath) {
  struct Case {
    std::wstring launchPath;
    bool ticked;
    std::optional<std::wstring> file;
  } cases[] = {
      {L"{commonappdata}\\Zelvane Web\\zvweb.exe", true, L"C:\\Users\\a\\AppData\\Roaming\\Zelvane Web\\zvweb.exe"},
      {L"{commonappdata}\\Zelvane Web\\zvweb.exe", false, std::nullopt},
      // "{commonpf}" names the 64-bit folder on a 64-bit system, expanded in the same pass.
      {L"{commonpf}\\Z\\z.exe", true, L"C:\\Program Files\\Z\\z.exe"},
      {L"C:\\Tools\\z.exe", true, L"C:\\Tools\\z.exe"},
      {L"{nosuch}\\z.exe", true, L"{nosuch}\\z.exe"},
      {L"{localappdata}\\a;{localappdata}\\b", true, L"C:\\Users\\a\\AppData\\Local\\a;C:\\Users\\a\\AppData\\Local\\b"},
  };
  for (const Case& c : cases) {
    FakePlatform fakes;
    ConfigurationManager config(TestProfile("ISV"), fakes.platform);
    ASSERT_FALSE(config.folderMacrosReady);
    config.launchPath = c.launchPath;
    const std::optional<ShellOpen> open = FinishIsvLaunch(config, c.ticked);
    ASSERT_EQ(open.has_value(), c.file.has_value());
    if (!open) continue;
    EXPECT_EQ(open->file, *c.file);
    EXPECT_EQ(open->parameters, L"/RUNONSTARTUP");
    EXPECT_TRUE(config.folderMacrosReady);
  }
}

TEST(FinishDlmOpen, OpensTheFileOrShowsItSelectedInTheSystemsExplorer) {
  const std::wstring path = L"C:\\Users\\a\\Downloads\\Zelvane Web.exe";
  const std::wstring select = L"/select,\"C:\\Users\\a\\Downloads\\Zelvane Web.exe\"";
  struct Case {
    bool launch;
    bool openFolder;
    std::wstring windowsFolder;
    std::optional<std::wstring> file;
    std::wstring parameters;
  } cases[] = {
      {true, false, L"C:\\Windows", path, L""},
      {false, true, L"C:\\Windows", L"C:\\Windows\\explorer.exe", select},
      {false, true, L"D:\\", L"D:\\explorer.exe", select},
      // Never a bare name, which the search path could find in the program's own folder.
      {false, true, L"", std::nullopt, L""},
      {false, false, L"C:\\Windows", std::nullopt, L""},
  };
  for (const Case& c : cases) {
    FakePlatform fakes;
    fakes.machine.knownFolders[KnownFolder::Windows] = c.windowsFolder;
    ConfigurationManager config(TestProfile("DLM"), fakes.platform);
    config.downloadedFilePath = path;
    const std::optional<ShellOpen> open = FinishDlmOpen(config, c.launch, c.openFolder);
    ASSERT_EQ(open.has_value(), c.file.has_value()) << c.launch << c.openFolder;
    if (!open) continue;
    EXPECT_EQ(open->file, *c.file);
    EXPECT_EQ(open->parameters, c.parameters);
  }
}

}  // namespace
}  // namespace zelvane
