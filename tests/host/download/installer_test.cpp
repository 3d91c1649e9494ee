#include "download/installer.h"

#include <gtest/gtest.h>

#include "app/configuration_manager.h"
#include "download/target_path.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

TEST(ArchiveSignature, ZipBy4Bytes7zByAllSixOthersNone) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    int expected;
  };
  const Case cases[] = {
      {{0x50, 0x4B, 0x03, 0x04}, kZipArchive},
      {{0x50, 0x4B, 0x03, 0x04, 0x14, 0x00}, kZipArchive},
      {{0x50, 0x4B, 0x05, 0x06, 0x00, 0x00}, kNotArchive},  // an empty ZIP's end record only
      {{0x50, 0x4B, 0x03}, kNotArchive},                    // shorter than four bytes
      {{0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C}, k7zArchive},
      {{0x37, 0x7A, 0xBC, 0xAF, 0x27}, kNotArchive},  // "7z" and five bytes of the signature
      {{0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1D}, kNotArchive},
      {{'M', 'Z', 0x90, 0x00, 0x03, 0x00}, kNotArchive},
      {{}, kNotArchive},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ArchiveTypeOfSignature(c.bytes.data(), c.bytes.size()), c.expected) << ::testing::PrintToString(c.bytes);
  }
}

TEST(ExtractionFolder, ArchiveNameWithoutItsLastExtensionUnderTheBase) {
  struct Case {
    const wchar_t* archive;
    const wchar_t* base;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:\\T\\ISV1.tmp\\setup_1.2.zip", L"C:\\T\\ISV1.tmp", L"C:\\T\\ISV1.tmp\\setup_1.2"},
      {L"C:\\T\\w\\offer.tar.zip", L"D:\\d", L"D:\\d\\offer.tar"},
      {L"C:\\T\\w\\noext", L"D:\\d", L"D:\\d\\noext"},
      {L"C:\\T\\w.x\\noext", L"D:\\d", L"D:\\d\\noext"},  // only the name's dot counts
      {L"setup.zip", L"D:\\d", L"D:\\d"},                 // no backslash: the base itself
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractionFolderFor(c.archive, c.base), c.expected) << c.archive;
}

TEST(OptionCode, SixteenCharactersInTheFixedOrder) {
  auto options = [](std::initializer_list<int> set) {
    std::array<bool, 8> o{};
    for (int i : set) o[i] = true;
    return o;
  };
  struct Case {
    std::array<bool, 8> options;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {options({0, 4, 5}), L"1000010101010010"},
      {options({}), L"0000000101000000"},
      {options({0, 1, 2, 3, 4, 5, 6, 7}), L"1110010101111110"},
      {options({5}), L"1000000101010000"},  // option 5 at both of its places
      {options({6}), L"0100000101000000"},
      {options({3}), L"0010000101000000"},
      {options({7}), L"0000000101100000"},
      {options({1}), L"0000000101001000"},
      {options({2}), L"0000000101000100"},
      {options({0}), L"0000000101000010"},
      {options({4}), L"0000010101000000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OptionCode(c.options), c.expected);
    EXPECT_EQ(OptionCode(c.options).size(), 16u);
  }
}

TEST(InstallerArguments, MainProductByWizardTypeAndFlow) {
  testing::FakePlatform fakes;
  ConfigurationManager isv(testing::TestProfile("ISV"), fakes.platform);
  isv.installerArguments = L"/S";
  EXPECT_EQ(MainInstallerArguments(isv), L"/S");
  isv.classicFlow = true;
  isv.classicOptions = {true, false, false, false, true, true, false, false};
  EXPECT_EQ(MainInstallerArguments(isv), L"/S /FORCEINSTALL 1000010101010010");

  ConfigurationManager dlm(testing::TestProfile("DLM"), fakes.platform);
  dlm.installerArguments = L"/quiet /norestart";
  dlm.classicFlow = true;  // the classic code belongs to the ISV flow only
  EXPECT_EQ(MainInstallerArguments(dlm), L"/quiet /norestart");
}

TEST(InstallerLaunchTexts, CommandLineAndExitCode) {
  EXPECT_EQ(InstallerCommandLine(L"C:\\w dir\\setup.exe", L"/S /D=C:\\x y"), L"\"C:\\w dir\\setup.exe\" /S /D=C:\\x y");
  EXPECT_EQ(InstallerCommandLine(L"C:\\a.exe", L""), L"\"C:\\a.exe\" ");
  EXPECT_EQ(ExitCodeMessage(3), L"exit code = 3");
  EXPECT_EQ(ExitCodeMessage(kNoExitCode), L"exit code = 4294967295");
}

TEST(AppendPath, OneBackslashBetweenAndTheSystemPathLimit) {
  struct Case {
    std::wstring path;
    std::wstring more;
    bool ok;
    std::wstring expected;
  };
  const std::wstring folder255(255, L'f');
  const Case cases[] = {
      {L"C:\\T", L"a.exe", true, L"C:\\T\\a.exe"},
      {L"C:\\T\\", L"a.exe", true, L"C:\\T\\a.exe"},
      {L"C:\\T", L"\\\\a.exe", true, L"C:\\T\\a.exe"},
      {L"C:\\T", L"", true, L"C:\\T"},
      {L"", L"a.exe", true, L"a.exe"},
      {folder255, L"abc", true, folder255 + L"\\abc"},   // 259 characters and the terminator
      {folder255, L"abcd", false, folder255},            // 260: no room for the terminator
  };
  for (const auto& c : cases) {
    std::wstring path = c.path;
    EXPECT_EQ(AppendPath(path, c.more), c.ok) << c.path.size() << " + " << c.more.size();
    EXPECT_EQ(path, c.expected);
  }
}

}  // namespace
}  // namespace zelvane
