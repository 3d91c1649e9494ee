#include "app/session_identity.h"

#include <gtest/gtest.h>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

using testing::FakePlatform;
using testing::TestProfile;

const std::wstring kCryptography = L"SOFTWARE\\Microsoft\\Cryptography";

TEST(UserId, ReadsMachineGuidFromThe64BitViewAndClosesTheKey) {
  FakePlatform fakes;
  fakes.registry.SetString(RegRoot::LocalMachine, kCryptography, "MachineGuid", "6f1c2a3e-0000-4000-8000-00000000abcd");
  fakes.registry.SetString(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Cryptography", "MachineGuid",
                           "redirected-32-bit-copy");
  ConfigurationManager config(TestProfile(), fakes.platform);
  EXPECT_EQ(config.GetUserId(), "6f1c2a3e-0000-4000-8000-00000000abcd");
  EXPECT_EQ(config.userId, "6f1c2a3e-0000-4000-8000-00000000abcd");
  EXPECT_EQ(fakes.registry.openKeys(), 0);
}

TEST(UserId, TakesTheBytesOfAnyTypeUpToTheFirstZero) {
  struct Case {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::string expected;
  };
  const Case cases[] = {
      {reg::kBinary, {'a', 'b', 'c', 0, 'd', 'e', 'f'}, "abc"},
      {reg::kExpandSz, {'g', 'u', 'i', 'd', 0}, "guid"},
      {reg::kMultiSz, {'o', 'n', 'e', 0, 't', 'w', 'o', 0, 0}, "one"},
      {reg::kBinary, {'n', 'o', 'z', 'e', 'r', 'o'}, "nozero"},
      {reg::kDword, {0x41, 0x42, 0x00, 0x00}, "AB"},
  };
  for (const auto& c : cases) {
    FakePlatform fakes;
    fakes.registry.Set(RegRoot::LocalMachine, kCryptography, "MachineGuid", c.type, c.data);
    ConfigurationManager config(TestProfile(), fakes.platform);
    EXPECT_EQ(config.GetUserId(), c.expected);
  }
}

TEST(UserId, MissingOrOversizedValueIsEmptyAndReadAgainLater) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile(), fakes.platform);
  EXPECT_EQ(config.GetUserId(), "") << "no key";

  fakes.registry.Set(RegRoot::LocalMachine, kCryptography, "MachineGuid", reg::kBinary,
                     std::vector<std::uint8_t>(255, 'x'));
  EXPECT_EQ(config.GetUserId(), "") << "larger than the buffer";
  EXPECT_EQ(fakes.registry.openKeys(), 0);

  fakes.registry.SetString(RegRoot::LocalMachine, kCryptography, "MachineGuid", "late-guid");
  EXPECT_EQ(config.GetUserId(), "late-guid");
  fakes.registry.SetString(RegRoot::LocalMachine, kCryptography, "MachineGuid", "changed");
  EXPECT_EQ(config.GetUserId(), "late-guid") << "cached once read";
}

TEST(SessionTimestamp, IsLocalTimeFixedAtTheFirstSuccessfulRequest) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile(), fakes.platform);
  fakes.machine.localTimeFails = true;
  EXPECT_EQ(config.GetSessionTimestamp(), "");

  fakes.machine.localTimeFails = false;
  EXPECT_EQ(config.GetSessionTimestamp(), "20251210130000") << "12:00 UTC at UTC+1";
  fakes.machine.unixSeconds += 3599;
  EXPECT_EQ(config.GetSessionTimestamp(), "20251210130000");
  EXPECT_EQ(fakes.machine.localTimeCalls, 2);
}

TEST(SessionTimestamp, PadsEveryFieldToFourteenDigits) {
  FakePlatform fakes;
  fakes.machine.unixSeconds = 946684800 + 3 * 3600 + 4 * 60 + 5;  // 2000-01-01 03:04:05 UTC
  fakes.machine.utcOffsetSeconds = 0;
  EXPECT_EQ(FormatSessionTimestamp(fakes.machine, fakes.machine.unixSeconds), "20000101030405");
}

TEST(CurrentTimeMillis, TruncatesTheHundredNanosecondClock) {
  FakePlatform fakes;
  EXPECT_EQ(CurrentTimeMillis(fakes.machine), "1765368000123");
  fakes.machine.unix100ns = 17653680011239999;
  EXPECT_EQ(CurrentTimeMillis(fakes.machine), "1765368001123") << "not cached, not rounded";
}

TEST(FileNameCode, TakesSevenCharactersWithADashAfterTheLastUnderscore) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\Users\\A\\Downloads\\setup_ab1-c2d.exe", L"ab1-c2d"},
      {L"C:\\Users\\A\\Downloads\\setup.exe", L""},
      {L"C:\\Users\\A\\Downloads\\setup_abc.exe", L""},
      {L"C:\\Users\\A\\Downloads\\setup_ab1-c2d (1).exe", L""},
      {L"C:\\Users\\A\\Downloads\\setup_abcdefg.exe", L""},
      {L"C:\\Users\\my_files\\setup_ab1-c2d.exe", L"ab1-c2d"},
      {L"C:\\Users\\my_files\\setup.exe", L""},
      {L"C:\\x_ab1-c2d\\setup.exe", L""},
      {L"C:\\Downloads\\setup_ab1-c2d", L"ab1-c2d"},
      {L"C:\\Downloads\\setup_a.b1-c2d.exe", L""},
      {L"", L""},
  };
  for (const auto& [path, code] : cases) EXPECT_EQ(FileNameCode(path), code) << std::string(path.begin(), path.end());
}

struct MacroCase {
  std::wstring text;
  std::wstring expected;
};

void ExpectExpansions(ConfigurationManager& config, const std::vector<MacroCase>& cases) {
  const FolderMacroTable table = config.GetFolderMacros();
  for (const auto& c : cases) {
    std::wstring text = c.text;
    ExpandFolderMacros(text, table);
    EXPECT_EQ(text, c.expected) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(FolderMacros, On64BitWindowsCommonPfIsTheNativeProgramFiles) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile(), fakes.platform);
  ExpectExpansions(config, {
                               {L"{commonpf}\\Vendor\\app.exe", L"C:\\Program Files\\Vendor\\app.exe"},
                               {L"{commonpf32}\\Vendor", L"C:\\Program Files (x86)\\Vendor"},
                               {L"{commonpf64}\\Vendor", L"C:\\Program Files\\Vendor"},
                               {L"{localappdata}|{commonappdata}|{programdata}",
                                L"C:\\Users\\a\\AppData\\Local|C:\\Users\\a\\AppData\\Roaming|C:\\ProgramData"},
                               {L"{commonappdata}\\a;{commonappdata}\\b",
                                L"C:\\Users\\a\\AppData\\Roaming\\a;C:\\Users\\a\\AppData\\Roaming\\b"},
                               {L"{CommonAppData}\\x;{COMMONPF}", L"{CommonAppData}\\x;{COMMONPF}"},
                               {L"{unknown}\\{commonpf", L"{unknown}\\{commonpf"},
                           });
  std::vector<std::wstring> names;
  for (const auto& entry : config.GetFolderMacros()) names.push_back(entry.first);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"commonpf", L"localappdata", L"commonappdata", L"programdata",
                                              L"commonpf32", L"commonpf64"}));
  const auto only64 = config.GetFolderMacros64();
  ASSERT_EQ(only64.size(), 1u);
  EXPECT_EQ(*only64.Find(L"commonpf64"), L"C:\\Program Files");
}

TEST(FolderMacros, On32BitWindowsCommonPfIsTheOnlyProgramFiles) {
  FakePlatform fakes;
  fakes.machine.wow64 = false;
  ConfigurationManager config(TestProfile(), fakes.platform);
  ExpectExpansions(config, {
                               {L"{commonpf}\\Vendor", L"C:\\Program Files (x86)\\Vendor"},
                               {L"{commonpf64}\\Vendor", L"{commonpf64}\\Vendor"},
                           });
  EXPECT_TRUE(config.GetFolderMacros64().empty());
}

TEST(FolderMacros, ProgramW6432MustBeReadableAndFitTheBuffer) {
  struct Case {
    std::optional<std::wstring> value;
    bool present;
  };
  const Case cases[] = {
      {std::nullopt, false},
      {L"", false},
      {std::wstring(259, L'p'), true},
      {std::wstring(260, L'p'), false},
  };
  for (const auto& c : cases) {
    FakePlatform fakes;
    if (c.value) {
      fakes.machine.environment[L"ProgramW6432"] = *c.value;
    } else {
      fakes.machine.environment.clear();
    }
    ConfigurationManager config(TestProfile(), fakes.platform);
    EXPECT_EQ(config.GetFolderMacros().Find(L"commonpf64") != nullptr, c.present);
    EXPECT_EQ(config.GetFolderMacros64().empty(), !c.present);
    if (!c.present) {
      ExpectExpansions(config, {{L"{commonpf}\\x", L"{commonpf64}\\x"}});
    }
  }
}

TEST(FolderMacros, TablesAreBuiltOnceAndUnresolvedFoldersExpandToNothing) {
  FakePlatform fakes;
  fakes.machine.knownFolders.erase(KnownFolder::ProgramData);
  ConfigurationManager config(TestProfile(), fakes.platform);
  config.BuildFolderMacros();
  EXPECT_TRUE(config.folderMacrosReady);
  fakes.machine.environment[L"ProgramW6432"] = L"D:\\Elsewhere";
  fakes.machine.knownFolders[KnownFolder::ProgramData] = L"D:\\Data";
  ExpectExpansions(config, {
                               {L"{programdata}\\x", L"\\x"},
                               {L"{commonpf64}", L"C:\\Program Files"},
                           });
}

TEST(FolderMacros, ReplacementResumesAfterTheInsertedValue) {
  FolderMacroTable table;
  table.Add(L"a", L"{a}{a}");
  EXPECT_FALSE(table.Add(L"a", L"other")) << "the first entry of a name stays";
  std::wstring text = L"x{a}y{a}";
  ExpandFolderMacros(text, table);
  EXPECT_EQ(text, L"x{a}{a}y{a}{a}");
}

}  // namespace
}  // namespace zelvane
