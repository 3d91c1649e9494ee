#include "app/configuration_manager.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/session_identity.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

using testing::FakePlatform;
using testing::TestProfile;

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

TEST(ConfigurationRecord, IsvDefaultsUseOneFreshWorkFolderUnderTemp) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);

  EXPECT_EQ(config.wizardType, kWizardIsv);
  EXPECT_TRUE(config.brandedFlow);
  EXPECT_FALSE(config.classicFlow);
  EXPECT_TRUE(config.reportPrimaryFailure);
  EXPECT_EQ(config.downloadFolder, config.workFolder);
  EXPECT_TRUE(StartsWith(config.workFolder, fakes.machine.tempPath + L"ISV")) << config.workFolder;
  EXPECT_TRUE(fakes.machine.IsDirectory(config.workFolder));
  EXPECT_TRUE(fakes.machine.files.empty()) << "the temporary file that reserved the name is deleted";

  EXPECT_EQ(config.productTitle, L"Zelvane Web");
  EXPECT_EQ(config.primaryDownloadUrl, L"https://download.test/endpoint/zvweb/os/riserollout/track/beta");
  EXPECT_EQ(config.privacyUrl, L"https://www.test/legal/privacy-policy/");
  EXPECT_EQ(config.termsUrl, L"https://www.test/legal/terms-of-use/");
  EXPECT_EQ(config.licenseUrl, L"");
  EXPECT_EQ(config.installerArguments, L"/S");
  EXPECT_EQ(config.launchPath, L"{commonappdata}\\Zelvane Web\\zvweb.exe");
  EXPECT_EQ(config.launchArguments, L"/RUNONSTARTUP");
  EXPECT_EQ(config.configurationUrl, L"https://content.test/o");
  EXPECT_EQ(config.analyticsUrl, L"https://content.test/zbd");
  EXPECT_EQ(config.fileBaseUrl, L"https://content.test/f/");
  EXPECT_EQ(config.publisher, L"Ostrel");
  EXPECT_EQ(config.productId, L"Zelvane_Web");
  EXPECT_EQ(config.sourceId, L"Zelvane_Web_CPP");
  EXPECT_EQ(config.backgroundColour, 0xFFFFFFu);
  EXPECT_EQ(config.accentColour, 0x42BC7Fu);
  EXPECT_EQ(config.programVersion, L"3.2.0.6031");
  EXPECT_EQ(config.classicOptions, (std::array<bool, 8>{}));
  EXPECT_EQ(config.offerLimit, 0);
  EXPECT_TRUE(fakes.ui.shown().empty());
}

TEST(ConfigurationRecord, DlmDefaultsLeaveProductValuesToTheServer) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("DLM"), fakes.platform);

  EXPECT_EQ(config.wizardType, kWizardDlm);
  EXPECT_EQ(config.downloadFolder, L"C:\\Users\\a\\Downloads");
  EXPECT_TRUE(StartsWith(config.workFolder, fakes.machine.tempPath + L"ISV")) << config.workFolder;
  EXPECT_TRUE(fakes.machine.IsDirectory(config.workFolder));
  for (const auto* empty : {&config.productTitle, &config.primaryDownloadUrl, &config.privacyUrl, &config.termsUrl,
                            &config.installerArguments, &config.launchPath, &config.launchArguments}) {
    EXPECT_EQ(*empty, L"");
  }
  EXPECT_EQ(config.productId, L"Zelvane_Web");
  EXPECT_EQ(config.configurationUrl, L"https://content.test/o");
}

TEST(ConfigurationRecord, DlmDownloadFolderFallsBackInOrder) {
  struct Case {
    bool downloads, documents, temp;
    std::wstring expected;
  };
  const Case cases[] = {
      {true, true, true, L"C:\\Users\\a\\Downloads"},
      {false, true, true, L"C:\\Users\\a\\Documents"},
      {false, false, true, L"C:\\Users\\a\\AppData\\Local\\Temp\\"},
      {false, false, false, L"C:\\"},
  };
  for (const auto& c : cases) {
    FakePlatform fakes;
    if (!c.downloads) fakes.machine.knownFolders.erase(KnownFolder::Downloads);
    if (!c.documents) fakes.machine.documents.clear();
    if (!c.temp) fakes.machine.tempPath.clear();
    ConfigurationManager config(TestProfile("DLM"), fakes.platform);
    EXPECT_EQ(config.downloadFolder, c.expected);
    if (!c.temp) {
      EXPECT_EQ(config.workFolder, L"") << "no temporary path, no work folder";
    }
  }
}

TEST(ConfigurationRecord, WizardTypeNameIsLookedUpExactly) {
  for (const std::string name : {"dlm", "isv", "Isv", "ISV ", "", "MSI"}) {
    FakePlatform fakes;
    ConfigurationManager config(TestProfile(name), fakes.platform);
    EXPECT_EQ(config.wizardType, kWizardNone) << name;
    const auto shown = fakes.ui.shown();
    ASSERT_EQ(shown.size(), 1u) << name;
    EXPECT_EQ(shown[0].text, L"Unknown wizard type");
    EXPECT_EQ(shown[0].caption, L"ZelvaneWebSetup");
    EXPECT_EQ(shown[0].flags, mb::kOk);
    EXPECT_EQ(config.workFolder, L"") << "an unknown type makes no work folder";
    EXPECT_EQ(fakes.machine.tempFilesCreated, 0);
    EXPECT_EQ(config.publisher, L"Ostrel") << "the common constants are still set";
  }
  EXPECT_EQ(LookUpWizardType("DLM"), kWizardDlm);
  EXPECT_EQ(LookUpWizardType("ISV"), kWizardIsv);
}

TEST(ConfigurationRecord, WorkFolderThatCannotBeMadeLeavesBothFoldersEmpty) {
  for (const bool tempFileFails : {true, false}) {
    FakePlatform fakes;
    fakes.machine.tempFilesFail = tempFileFails;
    fakes.machine.directoriesFail = !tempFileFails;
    ConfigurationManager config(TestProfile("ISV"), fakes.platform);
    EXPECT_EQ(config.workFolder, L"");
    EXPECT_EQ(config.downloadFolder, L"");
  }
}

TEST(ConfigurationRecord, MissingVersionResourceGivesAnEmptyVersion) {
  FakePlatform fakes;
  fakes.machine.fileVersion.reset();
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  EXPECT_EQ(config.programVersion, L"");
}

TEST(ConfigurationRecord, FileVersionPartsAreUnsignedWords) {
  EXPECT_EQ(FormatFileVersion({0x00030002, 0x0000178F}), L"3.2.0.6031");
  EXPECT_EQ(FormatFileVersion({0xFFFF0000, 0x0001FFFF}), L"65535.0.1.65535");
}

TEST(ConfigurationRecord, TwoThreadsAskingAtOnceBuildItOnce) {
  std::shared_ptr<ConfigurationManager> first, second;
  std::thread a([&] { first = ConfigurationManager::Instance(); });
  std::thread b([&] { second = ConfigurationManager::Instance(); });
  a.join();
  b.join();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(ConfigurationManager::Instance(), first);
  EXPECT_EQ(testing::SystemFakes().machine.tempFilesCreated, 1) << "exactly one record, one work folder";
}

}  // namespace
}  // namespace zelvane
