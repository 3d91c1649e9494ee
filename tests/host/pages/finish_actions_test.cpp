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

TEST(FinishDlmOpen, OpensTheFileOrShowsItSelectedInExplorer) {
  const std::wstring path = L"C:\\Users\\a\\Downloads\\Zelvane Web.exe";
  EXPECT_EQ(FinishDlmOpen(path, true, false)->file, path);
  EXPECT_EQ(FinishDlmOpen(path, true, false)->parameters, L"");
  const std::optional<ShellOpen> folder = FinishDlmOpen(path, false, true);
  EXPECT_EQ(folder->file, L"explorer.exe");
  EXPECT_EQ(folder->parameters, L"/select,\"C:\\Users\\a\\Downloads\\Zelvane Web.exe\"");
  EXPECT_FALSE(FinishDlmOpen(path, false, false).has_value());
}

}  // namespace
}  // namespace zelvane
