#include "pages/download_sequence.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

using testing::FakePlatform;
using testing::TestProfile;

std::string Narrow(const std::wstring& text) { return testing::FakeTextCodec::EncodeUtf8(text); }

// Carries out what the sequence asks the page to do, writing one line per action. A download lands
// in the folder under its name or the URL's last segment; a ZIP archive is "extracted" into a folder
// of its name under the base folder, holding setup.exe.
class RecordingPage : public DownloadPageActions {
 public:
  explicit RecordingPage(ConfigurationManager& config) : config_(config) {}

  void StartDownload(const std::wstring& url, const std::wstring& fileName, bool toWorkFolder) override {
    Log("download " + Narrow(url) + " as '" + Narrow(fileName) + "' to " + (toWorkFolder ? "work" : "downloads"));
    const std::wstring name = fileName.empty() ? url.substr(url.rfind(L'/') + 1) : fileName;
    target = (toWorkFolder ? config_.workFolder : config_.downloadFolder) + L"\\" + name;
    downloading = true;
  }
  std::wstring PrepareInstaller(const std::wstring& path, const std::wstring& baseFolder) override {
    if (path.size() < 4 || path.compare(path.size() - 4, 4, L".zip") != 0) return path;
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    return baseFolder + L"\\" + name.substr(0, name.size() - 4) + L"\\setup.exe";
  }
  void Launch(const std::wstring& path, const std::wstring& arguments, bool wait) override {
    Log("launch " + Narrow(path) + " '" + Narrow(arguments) + "'" + (wait ? " and wait" : ""));
    installing = wait;
  }
  void SendEvent(std::size_t package, int code, const nlohmann::json& params) override {
    lastParams = params;
    const std::string dumped = params.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    Log("event " + std::to_string(package) + " " + std::to_string(code) + (params.is_null() ? "" : " " + dumped));
  }
  void InstallStarted() override { Log("installation started"); }
  void InstallFinished() override { Log("installation finished"); }
  void MarqueeOn() override { Log("marquee on"); }
  void MarqueeOff() override { Log("marquee off"); }
  void SetProgressPosition(int percent) override { Log("position " + std::to_string(percent)); }
  void ShowError(const std::string& titleKey, const std::string& textKey) override {
    Log("error " + titleKey + " " + textKey);
  }
  void GoNext() override { Log("next"); }

  std::vector<std::string> log;
  nlohmann::json lastParams;
  std::wstring target;  // where the download in flight writes
  bool downloading = false;
  bool installing = false;

 private:
  void Log(std::string line) { log.push_back(std::move(line)); }
  ConfigurationManager& config_;
};

// One download's outcome: success, or the failure text.
struct Outcome {
  bool success = true;
  std::wstring message;
};
const Outcome kOk{};
Outcome Failed(const std::wstring& message) { return {false, message}; }

// A record with short folders, so the expected lines stay readable.
struct Fixture {
  explicit Fixture(const char* wizardType) : config(TestProfile(wizardType), fakes.platform) {
    config.workFolder = L"W";
    config.downloadFolder = config.wizardType == kWizardDlm ? L"D" : L"W";
    config.fileBaseUrl = L"https://content.test/f/";
    config.primaryFileName = L"cf";
  }
  FakePlatform fakes;
  ConfigurationManager config;
};

// Runs the whole page: each download ends with the next scripted outcome, the main installer with
// `exitCode` ("exit code = N" when not 0).
std::vector<std::string> RunPage(ConfigurationManager& config, const std::vector<SequencePackage>& packages,
                                 std::deque<Outcome> downloads, std::uint32_t exitCode = 0,
                                 const std::wstring& mainArguments = L"/S") {
  RecordingPage page(config);
  DownloadSequence sequence(config, page, mainArguments);
  sequence.Start(packages);
  while (page.downloading || page.installing) {
    if (page.downloading) {
      page.downloading = false;
      EXPECT_FALSE(downloads.empty()) << "more downloads than scripted";
      if (downloads.empty()) break;
      const Outcome outcome = downloads.front();
      downloads.pop_front();
      sequence.OnDownloadFinished(outcome.success, outcome.message, outcome.success ? page.target : L"");
    } else {
      page.installing = false;
      sequence.OnMainInstallerExited(exitCode, exitCode == 0 ? L"" : L"exit code = " + std::to_wstring(exitCode));
    }
  }
  EXPECT_TRUE(downloads.empty()) << "scripted downloads left over";
  return page.log;
}

const SequencePackage kMain{true, L"", L""};
const SequencePackage kOffer1{false, L"https://cdn.one.test/get/one.exe", L"/q1"};
const SequencePackage kOffer2{false, L"files/two.zip", L"/q2 \"x y\""};

TEST(DownloadSequence, IsvSequences) {
  struct Case {
    const char* name;
    bool reportPrimaryFailure;
    std::vector<SequencePackage> packages;
    std::deque<Outcome> downloads;
    std::uint32_t exitCode;
    std::vector<std::string> log;
    std::wstring downloadedFilePath;
  } cases[] = {
      {"all succeed",
       true,
       {kMain, kOffer1, kOffer2},
       {kOk, kOk, kOk},
       0,
       {"download https://content.test/f/zvweb/beta as '' to work",
        "download https://cdn.one.test/get/one.exe as '' to work",
        "download https://content.test/f/files/two.zip as '' to work",
        "installation started",
        "marquee on",
        "launch W\\beta '/S' and wait",
        "installation finished",
        "event 0 3",
        "launch W\\one.exe '/q1'",
        "event 1 3",
        "launch W\\two\\setup.exe '/q2 \"x y\"'",
        "event 2 3",
        "installation finished",
        "next"},
       L"W\\beta"},
      {"no offers: the main installer is waited for",
       true,
       {kMain},
       {kOk},
       0,
       {"download https://content.test/f/zvweb/beta as '' to work", "installation started", "marquee on",
        "launch W\\beta '/S' and wait", "installation finished", "event 0 3", "next"},
       L"W\\beta"},
      {"main download fails: the offers are still installed, then the error page",
       true,
       {kMain, kOffer1, kOffer2},
       {Failed(L"[WINHTTP] Download failed: Server returned status code: 404 [WININET] x"), kOk, kOk},
       0,
       {"download https://content.test/f/zvweb/beta as '' to work",
        "event 0 3 {\"12\":\"DOWNLOAD FAILED: [WINHTTP] Download failed: Server returned status code: 404 [WININET] "
        "x\"}",
        "download https://cdn.one.test/get/one.exe as '' to work",
        "download https://content.test/f/files/two.zip as '' to work",
        "installation started",
        "marquee on",
        "launch W\\one.exe '/q1'",
        "event 1 3",
        "launch W\\two\\setup.exe '/q2 \"x y\"'",
        "event 2 3",
        "installation finished",
        "error PAGE_ERROR_TITLE PAGE_ERROR_TEXT"},
       L""},
      {"main download fails without reporting the main product's failures",
       false,
       {kMain, kOffer1},
       {Failed(L"Download cancelled."), kOk},
       0,
       {"download https://content.test/f/zvweb/beta as '' to work",
        "event 0 -1 {\"12\":\"DOWNLOAD FAILED: Download cancelled.\"}",
        "download https://cdn.one.test/get/one.exe as '' to work", "installation started", "marquee on",
        "launch W\\one.exe '/q1'", "event 1 3", "installation finished", "error PAGE_ERROR_TITLE PAGE_ERROR_TEXT"},
       L""},
      {"main download fails and no offer arrives",
       true,
       {kMain, kOffer1},
       {Failed(L"a"), Failed(L"b")},
       0,
       {"download https://content.test/f/zvweb/beta as '' to work", "event 0 3 {\"12\":\"DOWNLOAD FAILED: a\"}",
        "download https://cdn.one.test/get/one.exe as '' to work", "event 1 -1 {\"12\":\"DOWNLOAD FAILED: b\"}",
        "installation started", "marquee on", "error PAGE_ERROR_TITLE PAGE_ERROR_TEXT"},
       L""},
      {"main installer exits with 1603: the offers are still launched, then the error page",
       true,
       {kMain, kOffer1, kOffer2},
       {kOk, kOk, kOk},
       1603,
       {"download https://content.test/f/zvweb/beta as '' to work",
        "download https://cdn.one.test/get/one.exe as '' to work",
        "download https://content.test/f/files/two.zip as '' to work",
        "installation started",
        "marquee on",
        "launch W\\beta '/S' and wait",
        "installation finished",
        "event 0 3 {\"12\":\"EXEC FAILED: exit code = 1603\"}",
        "launch W\\one.exe '/q1'",
        "event 1 3",
        "launch W\\two\\setup.exe '/q2 \"x y\"'",
        "event 2 3",
        "installation finished",
        "error PAGE_ERROR_TITLE PAGE_ERROR_TEXT"},
       L"W\\beta"},
      {"an offer's download fails: reported, the others go on",
       true,
       {kMain, kOffer1, kOffer2},
       {kOk, Failed(L"Invalid file name."), kOk},
       0,
       {"download https://content.test/f/zvweb/beta as '' to work",
        "download https://cdn.one.test/get/one.exe as '' to work",
        "event 1 -1 {\"12\":\"DOWNLOAD FAILED: Invalid file name.\"}",
        "download https://content.test/f/files/two.zip as '' to work",
        "installation started",
        "marquee on",
        "launch W\\beta '/S' and wait",
        "installation finished",
        "event 0 3",
        "launch W\\two\\setup.exe '/q2 \"x y\"'",
        "event 2 3",
        "installation finished",
        "next"},
       L"W\\beta"},
  };
  for (const Case& c : cases) {
    Fixture fixture("ISV");
    fixture.config.primaryDownloadUrl = L"zvweb/beta";
    fixture.config.reportPrimaryFailure = c.reportPrimaryFailure;
    EXPECT_EQ(RunPage(fixture.config, c.packages, c.downloads, c.exitCode), c.log) << c.name;
    EXPECT_EQ(fixture.config.downloadedFilePath, c.downloadedFilePath) << c.name;
  }
}

TEST(DownloadSequence, DlmSequences) {
  struct Case {
    const char* name;
    std::vector<SequencePackage> packages;
    std::deque<Outcome> downloads;
    std::vector<std::string> log;
    std::wstring downloadedFilePath;
  } cases[] = {
      {"all succeed: the main product is only downloaded, as cf into the downloads folder",
       {kMain, kOffer1, kOffer2},
       {kOk, kOk, kOk},
       {"download zvweb/setup as 'cf' to downloads", "event 0 3",
        "download https://cdn.one.test/get/one.exe as '' to work",
        "download https://content.test/f/files/two.zip as '' to work", "launch W\\one.exe '/q1'", "event 1 3",
        "launch W\\two\\setup.exe '/q2 \"x y\"'", "event 2 3", "next"},
       L"D\\cf"},
      {"no offers: straight to Next",
       {kMain},
       {kOk},
       {"download zvweb/setup as 'cf' to downloads", "event 0 3", "next"},
       L"D\\cf"},
      {"main download fails while two offers succeed",
       {kMain, kOffer1, kOffer2},
       {Failed(L"[WINHTTP] e1 [WININET] e2"), kOk, kOk},
       {"download zvweb/setup as 'cf' to downloads",
        "event 0 3 {\"12\":\"DOWNLOAD FAILED: [WINHTTP] e1 [WININET] e2\"}",
        "download https://cdn.one.test/get/one.exe as '' to work",
        "download https://content.test/f/files/two.zip as '' to work", "launch W\\one.exe '/q1'", "event 1 3",
        "launch W\\two\\setup.exe '/q2 \"x y\"'", "event 2 3", "error PAGE_DOWNLOAD_ERROR_TITLE PAGE_DOWNLOAD_ERROR_DESC"},
       L""},
      {"main download fails, no offers",
       {kMain},
       {Failed(L"x")},
       {"download zvweb/setup as 'cf' to downloads", "event 0 3 {\"12\":\"DOWNLOAD FAILED: x\"}",
        "error PAGE_DOWNLOAD_ERROR_TITLE PAGE_DOWNLOAD_ERROR_DESC"},
       L""},
      {"an offer's download fails",
       {kMain, kOffer1, kOffer2},
       {kOk, kOk, Failed(L"y")},
       {"download zvweb/setup as 'cf' to downloads", "event 0 3",
        "download https://cdn.one.test/get/one.exe as '' to work",
        "download https://content.test/f/files/two.zip as '' to work", "event 2 -1 {\"12\":\"DOWNLOAD FAILED: y\"}",
        "launch W\\one.exe '/q1'", "event 1 3", "next"},
       L"D\\cf"},
      {"every offer fails: nothing to launch",
       {kMain, kOffer1},
       {kOk, Failed(L"z")},
       {"download zvweb/setup as 'cf' to downloads", "event 0 3",
        "download https://cdn.one.test/get/one.exe as '' to work", "event 1 -1 {\"12\":\"DOWNLOAD FAILED: z\"}",
        "next"},
       L"D\\cf"},
  };
  for (const Case& c : cases) {
    Fixture fixture("DLM");
    // The DLM main product's URL is used as it is, even when it does not look like one.
    fixture.config.primaryDownloadUrl = L"zvweb/setup";
    EXPECT_EQ(RunPage(fixture.config, c.packages, c.downloads), c.log) << c.name;
    EXPECT_EQ(fixture.config.downloadedFilePath, c.downloadedFilePath) << c.name;
  }
}

TEST(DownloadSequence, UrlsAreCompletedWithTheFileBaseOnlyWhenTheyDoNotLookLikeUrls) {
  struct Case {
    std::wstring url;
    std::string downloaded;
  } cases[] = {
      {L"https://cdn.one.test/a/b.exe?x=1", "https://cdn.one.test/a/b.exe?x=1"},
      {L"setup.exe", "setup.exe"},  // a bare name with an extension passes for a host
      {L"dir/setup.exe", "https://content.test/f/dir/setup.exe"},
      {L"setup", "https://content.test/f/setup"},
      {L"https://cdn.one.test:8443/a.exe", "https://content.test/f/https://cdn.one.test:8443/a.exe"},
      {L"HTTPS://CDN.ONE.TEST/a.exe", "https://content.test/f/HTTPS://CDN.ONE.TEST/a.exe"},
  };
  for (const Case& c : cases) {
    for (const bool main : {true, false}) {
      Fixture fixture("ISV");
      fixture.config.primaryDownloadUrl = c.url;
      RecordingPage page(fixture.config);
      DownloadSequence sequence(fixture.config, page, L"/S");
      sequence.Start({main ? kMain : SequencePackage{false, c.url, L""}});
      EXPECT_EQ(page.log, std::vector<std::string>{"download " + c.downloaded + " as '' to work"})
          << Narrow(c.url) << (main ? " as the main product" : " as an offer");
    }
  }
}

TEST(DownloadSequence, ClassicArgumentsGoToTheMainInstallerOnlyAndArchivesUnpackIntoTheDownloadFolder) {
  Fixture fixture("ISV");
  fixture.config.primaryDownloadUrl = L"https://download.test/zvweb.zip";
  fixture.config.downloadFolder = L"X";  // the same folder as the work folder in practice; told apart here
  const std::vector<std::string> log =
      RunPage(fixture.config, {kMain, kOffer2}, {kOk, kOk}, 0, L"/S /FORCEINSTALL 1000010101010010");
  EXPECT_EQ(log, (std::vector<std::string>{"download https://download.test/zvweb.zip as '' to work",
                                           "download https://content.test/f/files/two.zip as '' to work",
                                           "installation started", "marquee on",
                                           "launch X\\zvweb\\setup.exe '/S /FORCEINSTALL 1000010101010010' and wait",
                                           "installation finished", "event 0 3",
                                           "launch X\\two\\setup.exe '/q2 \"x y\"'", "event 1 3",
                                           "installation finished", "next"}));
  // The installer that ran, not the archive, is the downloaded file from then on.
  EXPECT_EQ(fixture.config.downloadedFilePath, L"X\\zvweb\\setup.exe");
}

TEST(DownloadSequence, DlmOffersUnpackIntoTheWorkFolder) {
  Fixture fixture("DLM");
  fixture.config.primaryDownloadUrl = L"https://download.test/p";
  const std::vector<std::string> log = RunPage(fixture.config, {kMain, kOffer2}, {kOk, kOk});
  EXPECT_EQ(log[3], "launch W\\two\\setup.exe '/q2 \"x y\"'");
}

TEST(DownloadSequence, NoFurtherDownloadOnceClosing) {
  for (const char* type : {"ISV", "DLM"}) {
    Fixture fixture(type);
    fixture.config.primaryDownloadUrl = L"https://download.test/p";
    RecordingPage page(fixture.config);
    DownloadSequence sequence(fixture.config, page, L"/S");
    sequence.Start({kMain, kOffer1});
    fixture.config.closing = true;
    sequence.OnDownloadFinished(false, L"Download cancelled.", L"");
    const std::string download = std::string("download https://download.test/p as ") +
                                 (fixture.config.wizardType == kWizardDlm ? "'cf' to downloads" : "'' to work");
    EXPECT_EQ(page.log, (std::vector<std::string>{download, "event 0 3 {\"12\":\"DOWNLOAD FAILED: Download cancelled.\"}"}))
        << type;
  }
  // Closing before the page is entered: nothing starts at all.
  Fixture fixture("ISV");
  fixture.config.closing = true;
  RecordingPage page(fixture.config);
  DownloadSequence sequence(fixture.config, page, L"/S");
  sequence.Start({kMain});
  EXPECT_TRUE(page.log.empty());
}

TEST(DownloadSequence, FailureTextsGoOutInTheThreadAnsiCodePage) {
  Fixture fixture("ISV");
  RecordingPage page(fixture.config);
  DownloadSequence sequence(fixture.config, page, L"/S");
  sequence.Start({kMain, kOffer1});
  sequence.OnDownloadFinished(false, L"d\u00e9lai \u2603", L"");
  EXPECT_EQ(page.lastParams, (nlohmann::json{{"12", "DOWNLOAD FAILED: d\xE9lai ?"}}));
  EXPECT_EQ(fixture.fakes.text.NarrowedWith(L"DOWNLOAD FAILED: d\u00e9lai \u2603"), CodePage::ThreadAnsi);
  EXPECT_TRUE(sequence.mainProductFailed());
}

TEST(DownloadSequence, ProgressBar) {
  // Each step: a percent, or -1 for a response without a usable length.
  struct Case {
    std::vector<long long> steps;
    std::vector<std::string> log;
    bool marquee;
  } cases[] = {
      {{29}, {"position 29"}, false},
      {{0, 1, 100}, {"position 0", "position 1", "position 100"}, false},
      {{101}, {"marquee on"}, true},
      {{-1}, {"marquee on"}, true},
      {{-1, 5}, {"marquee on", "marquee off", "position 5"}, false},
      {{-1, -1, 0}, {"marquee on", "marquee on", "marquee off", "position 0"}, false},
      {{40, 250, 41}, {"position 40", "marquee on", "marquee off", "position 41"}, false},
  };
  for (const Case& c : cases) {
    Fixture fixture("ISV");
    RecordingPage page(fixture.config);
    DownloadSequence sequence(fixture.config, page, L"/S");
    for (const long long step : c.steps) {
      if (step < 0) {
        sequence.OnSizeUnknown();
      } else {
        sequence.OnProgress(static_cast<std::uint64_t>(step));
      }
    }
    EXPECT_EQ(page.log, c.log);
    EXPECT_EQ(sequence.marqueeMode(), c.marquee);
  }
  // Every percent shows as itself.
  Fixture fixture("ISV");
  RecordingPage page(fixture.config);
  DownloadSequence sequence(fixture.config, page, L"/S");
  for (int percent = 0; percent <= 100; ++percent) {
    sequence.OnProgress(static_cast<std::uint64_t>(percent));
    ASSERT_EQ(page.log.back(), "position " + std::to_string(percent));
  }
  // A wParam beyond 32 bits is not cut down to a small percent.
  sequence.OnProgress(0x100000005ull);
  EXPECT_EQ(page.log.back(), "marquee on");
}

}  // namespace
}  // namespace zelvane
