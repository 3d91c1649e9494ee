#include "download/download_rules.h"

#include <gtest/gtest.h>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

TEST(DownloadErrorTexts, ComposedFromTemplatesCodesAndSystemTexts) {
  EXPECT_EQ(FormatSystemError(L"Failed to connect: %d - %s", 12029, L"Cannot connect.\r\n"),
            L"Failed to connect: 12029 - Cannot connect.\r\n");
  EXPECT_EQ(FormatSystemError(L"Failed to initialize WinINet:: %d - %s", 5, L""), L"Failed to initialize WinINet:: 5 - ");
  EXPECT_EQ(FormatSystemError(L"Server returned status code: HTTP %d - %s", 404, L"The operation completed successfully.\r\n"),
            L"Server returned status code: HTTP 404 - The operation completed successfully.\r\n");
  EXPECT_EQ(FormatSystemError(L"x %d", 0x80070005, L""), L"x -2147024891") << "%d shows the code signed";
  EXPECT_EQ(FormatSystemError(L"100% %s", 1, L"%d"), L"100% %d") << "inserted text is not formatted again";

  EXPECT_EQ(StatusFailureText(404), L"Download failed: Server returned status code: 404");
  EXPECT_EQ(IncompleteDownloadText(4294967295u, 12345678901ull),
            L"Download was incomplete: content length: 4294967295, downloaded: 12345678901");
  EXPECT_EQ(CombineTransportErrors(L"Too many redirects.", L"Download cancelled."),
            L"[WINHTTP] Too many redirects. [WININET] Download cancelled.");
}

TEST(RedirectCount, FiveAreFollowedTheSixthFails) {
  RedirectCount count;
  for (int i = 1; i <= 5; ++i) EXPECT_TRUE(count.Follow()) << i;
  EXPECT_FALSE(count.Follow());
  EXPECT_FALSE(count.Follow());
}

TEST(RedirectTarget, AbsoluteOrHostRelativeLocationsWithinTheBuffer) {
  const std::wstring current = L"https://download.zelvane.test:8443/dl/setup.exe?x=1";
  struct Case {
    std::optional<std::wstring> location;
    std::optional<std::wstring> expected;
  };
  const std::wstring longest = L"https://h.test/" + std::wstring(129 - 15, L'a');
  const Case cases[] = {
      {L"https://cdn.partner-a.test/a.exe", L"https://cdn.partner-a.test/a.exe"},
      {L"HTTP://plain.test/a.exe", L"HTTP://plain.test/a.exe"},  // taken here, refused as insecure later
      {L"/other/b.exe?y", L"https://download.zelvane.test:8443/other/b.exe?y"},
      {longest, longest},
      {longest + L"b", std::nullopt},
      {std::nullopt, std::nullopt},
      {L"", std::nullopt},
      {L"b.exe", std::nullopt},
      {L"//evil.test/x", std::nullopt},
      {L"ftp://files.test/x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RedirectTarget(current, c.location), c.expected) << (c.location ? c.location->size() : 0);
  }
  EXPECT_EQ(RedirectTarget(L"https://h.test", std::wstring(L"/x")), L"https://h.test/x");
}

TEST(HttpsUrl, OnlyTheHttpsScheme) {
  EXPECT_TRUE(IsHttpsUrl(L"https://download.zelvane.test/a.exe"));
  EXPECT_TRUE(IsHttpsUrl(L"HTTPS://download.zelvane.test/a.exe"));
  for (const wchar_t* url : {L"http://download.zelvane.test/a.exe", L"https://", L"ftp://x/y", L"httpsx://a/b",
                             L"download.zelvane.test/a.exe", L""}) {
    EXPECT_FALSE(IsHttpsUrl(url)) << url;
  }
}

TEST(ProgressReporter, ReportsOnlyGrowthOfMoreThanOnePercent) {
  ProgressReporter progress(1000, true);
  EXPECT_EQ(progress.Add(10), std::nullopt) << "exactly one percent";
  EXPECT_EQ(progress.Add(1), 1u) << "1.1 percent";
  EXPECT_EQ(progress.Add(5), std::nullopt);
  EXPECT_EQ(progress.Add(4), std::nullopt) << "0.9 percent since the last report";
  EXPECT_EQ(progress.Add(2), 2u) << "2.2 percent, truncated";
  EXPECT_EQ(progress.Add(978), 100u);

  std::vector<unsigned> posted;
  ProgressReporter chunks(1000, true);
  for (int i = 0; i < 333; ++i) {
    if (auto percent = chunks.Add(3)) posted.push_back(*percent);  // 0.3 percent a chunk
  }
  ASSERT_EQ(posted.size(), 83u) << "every fourth chunk";
  EXPECT_EQ(posted.front(), 1u);
  EXPECT_EQ(posted[1], 2u);
  EXPECT_EQ(posted.back(), 99u);

  ProgressReporter unknown(0, false);
  EXPECT_EQ(unknown.Add(1 << 20), std::nullopt);
  ProgressReporter zero(0, true);
  EXPECT_EQ(zero.Add(100), std::nullopt);
}

TEST(TargetPath, FileNameFromTheUrlOrTheGivenOneInTheChosenFolder) {
  testing::FakePlatform fakes;
  ConfigurationManager config(testing::TestProfile("DLM"), fakes.platform);
  config.workFolder = L"C:\\T\\ISV1.tmp";
  config.downloadFolder = L"C:\\Users\\a\\Downloads";
  fakes.machine.directories = {config.workFolder, config.downloadFolder};

  struct Case {
    const wchar_t* url;
    const wchar_t* name;
    bool toWork;
    const wchar_t* path;
    bool invalid;
  };
  const Case cases[] = {
      {L"https://d.test/f/offer.exe", L"", true, L"C:\\T\\ISV1.tmp\\offer.exe", false},
      {L"https://d.test/f/offer.exe", L"Zelvane.exe", false, L"C:\\Users\\a\\Downloads\\Zelvane.exe", false},
      {L"https://d.test/dl?name=a.exe&v=2", L"", true, L"C:\\T\\ISV1.tmp\\dl?name=a.exe&v=2", false},
      {L"no-slash-at-all", L"", true, L"C:\\T\\ISV1.tmp", false},  // the folder itself
      {L"https://d.test/f/", L"", true, L"C:\\T\\ISV1.tmp", false},
      {L"https://d.test/f/..", L"", true, L"", true},
      {L"https://d.test/f/.", L"", true, L"", true},
      {L"https://d.test/f/a.exe", L"..\\..\\evil.exe", true, L"", true},
      {L"https://d.test/f/a.exe", L"sub/evil.exe", true, L"", true},
      {L"https://d.test/f/a.exe", L"C:evil.exe", true, L"", true},
      {L"https://d.test/f/a.exe", L"setup.exe:stream", true, L"", true},
      {L"https://d.test/f/a\\..\\evil.exe", L"", true, L"", true},
  };
  for (const auto& c : cases) {
    const TargetPath target = MakeTargetPath(config, fakes.machine, fakes.ui, c.url, c.name, c.toWork);
    EXPECT_EQ(target.path, c.path) << c.url << " " << c.name;
    EXPECT_EQ(target.invalidName, c.invalid) << c.url << " " << c.name;
  }
  EXPECT_TRUE(fakes.ui.shown().empty());

  const std::wstring longName(300, L'n');
  EXPECT_EQ(MakeTargetPath(config, fakes.machine, fakes.ui, L"https://d.test/x", longName, true).path, L"") << "too long";
}

TEST(TargetPath, UnusableFolderShowsInvalidPathAndGivesNoPath) {
  testing::FakePlatform fakes;
  ConfigurationManager config(testing::TestProfile("DLM"), fakes.platform);
  config.downloadFolder = L"C:\\gone";
  fakes.machine.directories.clear();
  const TargetPath target = MakeTargetPath(config, fakes.machine, fakes.ui, L"https://d.test/a.exe", L"", false);
  EXPECT_EQ(target.path, L"");
  EXPECT_FALSE(target.invalidName);
  const auto shown = fakes.ui.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, L"Invalid path");
  EXPECT_EQ(shown[0].caption, L"ZelvaneWebSetup");
}

}  // namespace
}  // namespace zelvane
