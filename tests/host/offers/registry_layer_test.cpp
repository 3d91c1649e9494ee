#include "offers/registry_layer.h"

#include <gtest/gtest.h>

#include "fakes/fake_machine.h"
#include "fakes/fake_registry.h"

namespace zelvane {
namespace {

using testing::FakeMachine;
using testing::FakeRegistry;
using win32::RegistryError;

// A registry and a machine that agree on the kind of Windows.
struct Windows {
  explicit Windows(bool is64Bit) {
    machine.wow64 = is64Bit;
    registry.wow64 = is64Bit;
  }
  FakeMachine machine;
  FakeRegistry registry;
  RegistryLayer layer{registry, machine};
};

template <typename Call>
void ExpectRegistryError(Call&& call, const std::string& message, long code) {
  try {
    call();
    ADD_FAILURE() << "no RegistryError, expected " << message;
  } catch (const RegistryError& error) {
    EXPECT_EQ(error.what(), message);
    EXPECT_EQ(error.code(), code);
  }
}

TEST(ExpandKeyRule, HivesAbbreviationsAndSoftwareCandidates) {
  using List = std::vector<std::wstring>;
  const List vendor32{L"hkey_local_machine\\software\\vendor", L"hkey_current_user\\software\\vendor"};
  const List vendor64{L"hkey_local_machine\\software\\vendor", L"hkey_current_user\\software\\vendor",
                      L"hkey_local_machine\\software\\wow6432node\\vendor",
                      L"hkey_current_user\\software\\wow6432node\\vendor"};
  struct Case {
    std::wstring rule;
    List on32;
    List on64;
  };
  const Case cases[] = {
      {L"", {}, {}},
      {L"hklm\\vendor", {L"hkey_local_machine\\vendor"}, {L"hkey_local_machine\\vendor"}},
      {L"hkcu\\software\\a", {L"hkey_current_user\\software\\a"}, {L"hkey_current_user\\software\\a"}},
      {L"hkcr\\.zip", {L"hkey_classes_root\\.zip"}, {L"hkey_classes_root\\.zip"}},
      {L"hku\\s-1-5-18", {L"hkey_users\\s-1-5-18"}, {L"hkey_users\\s-1-5-18"}},
      {L"hkcc\\system", {L"hkey_current_config\\system"}, {L"hkey_current_config\\system"}},
      {L"hkey_users\\x", {L"hkey_users\\x"}, {L"hkey_users\\x"}},
      {L"hkey_current_config\\x\\y", {L"hkey_current_config\\x\\y"}, {L"hkey_current_config\\x\\y"}},
      {L"vendor", vendor32, vendor64},
  };
  for (const auto& c : cases) {
    Windows on32(false), on64(true);
    EXPECT_EQ(on32.layer.ExpandKeyRule(c.rule), c.on32) << c.rule.size();
    EXPECT_EQ(on64.layer.ExpandKeyRule(c.rule), c.on64) << c.rule.size();
  }
}

TEST(ExpandKeyRule, UnknownOrMiswrittenHivesAreSoftwarePaths) {
  Windows on64(true);
  for (const std::wstring rule : {L"hkxx\\vendor", L"hklm", L"hkey_local_machinex\\v", L"HKLM\\vendor", L"hkey\\v"}) {
    const auto candidates = on64.layer.ExpandKeyRule(rule);
    ASSERT_EQ(candidates.size(), 4u);
    EXPECT_EQ(candidates[0], L"hkey_local_machine\\software\\" + rule);
    EXPECT_EQ(candidates[3], L"hkey_current_user\\software\\wow6432node\\" + rule);
  }
}

TEST(SelectView, ChoosesTheViewOfSoftwarePaths) {
  struct Case {
    bool is64;
    std::wstring path;
    bool available;
    std::wstring after;
    std::uint32_t access;
  };
  const Case cases[] = {
      {true, L"hkey_local_machine\\software\\vendor", true, L"hkey_local_machine\\software\\vendor", reg::kWow64_64Key},
      {true, L"hkey_current_user\\software\\vendor\\x", true, L"hkey_current_user\\software\\vendor\\x",
       reg::kWow64_64Key},
      {true, L"hkey_local_machine\\software\\wow6432node\\vendor", true, L"hkey_local_machine\\software\\vendor", 0},
      {false, L"hkey_local_machine\\software\\wow6432node\\vendor", false,
       L"hkey_local_machine\\software\\wow6432node\\vendor", 0},
      {false, L"hkey_local_machine\\software\\vendor", true, L"hkey_local_machine\\software\\vendor", 0},
      {true, L"hkey_local_machine\\system\\x", true, L"hkey_local_machine\\system\\x", 0},
      {true, L"hkey_local_machine\\SOFTWARE\\x", true, L"hkey_local_machine\\SOFTWARE\\x", 0},
  };
  for (const auto& c : cases) {
    Windows windows(c.is64);
    std::wstring path = c.path;
    std::uint32_t access = 0;
    EXPECT_EQ(windows.layer.SelectView(path, access), c.available) << c.is64;
    EXPECT_EQ(path, c.after);
    EXPECT_EQ(access, c.access);
  }
}

TEST(SelectView, SoftwarePathOfTwoPartsIsASubscriptError) {
  Windows windows(true);
  std::wstring path = L"hkey_local_machine\\software\\";
  std::uint32_t access = 0;
  try {
    (void)windows.layer.SelectView(path, access);
    ADD_FAILURE();
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "invalid vector subscript");
  }
}

TEST(KeyExists, SoftwarePathsReadTheirViewOn64BitWindows) {
  Windows windows(true);
  windows.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Vendor64\\Product");
  windows.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor32\\Product");
  windows.registry.AddKey(RegRoot::CurrentUser, L"Software\\UserVendor");
  auto& layer = windows.layer;
  EXPECT_TRUE(layer.KeyExists(L"hkey_local_machine\\software\\vendor64"));
  EXPECT_TRUE(layer.KeyExists(L"hkey_local_machine\\software\\vendor64\\product"));
  EXPECT_FALSE(layer.KeyExists(L"hkey_local_machine\\software\\vendor64\\other"));
  EXPECT_FALSE(layer.KeyExists(L"hkey_local_machine\\software\\vendor32")) << "not in the 64-bit view";
  EXPECT_TRUE(layer.KeyExists(L"hkey_local_machine\\software\\wow6432node\\vendor32\\product"));
  EXPECT_FALSE(layer.KeyExists(L"hkey_local_machine\\software\\wow6432node\\vendor64"));
  EXPECT_TRUE(layer.KeyExists(L"hkey_current_user\\software\\uservendor"));
  EXPECT_TRUE(layer.KeyExists(L"hkey_current_user\\software\\wow6432node\\uservendor"))
      << "the user's software is shared";
  EXPECT_EQ(windows.registry.openKeys(), 0);
}

TEST(KeyExists, Wow6432NodeOn32BitWindowsIsFalseWithoutARegistryCall) {
  Windows windows(false);
  windows.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor");
  EXPECT_FALSE(windows.layer.KeyExists(L"hkey_local_machine\\software\\wow6432node\\vendor"));
  EXPECT_EQ(windows.registry.opens(), 0);
  windows.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Vendor");
  EXPECT_TRUE(windows.layer.KeyExists(L"hkey_local_machine\\software\\vendor"));
}

TEST(KeyExists, ListsEachSoftwareKeyOncePerHiveAndViewAndSkipsUnlistedVendors) {
  Windows windows(true);
  windows.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Alpha\\One");
  windows.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Beta");
  auto& layer = windows.layer;
  EXPECT_TRUE(layer.KeyExists(L"hkey_local_machine\\software\\alpha"));
  EXPECT_EQ(windows.registry.keyInfoQueries(), 1);
  const int opens = windows.registry.opens();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(layer.KeyExists(L"hkey_local_machine\\software\\missing\\x"));
  EXPECT_EQ(windows.registry.opens(), opens) << "an unlisted vendor is not opened";
  EXPECT_TRUE(layer.KeyExists(L"hkey_local_machine\\software\\alpha\\one"));
  EXPECT_EQ(windows.registry.keyInfoQueries(), 1);
  EXPECT_TRUE(layer.KeyExists(L"hkey_local_machine\\software\\wow6432node\\beta"));
  EXPECT_EQ(windows.registry.keyInfoQueries(), 2) << "the 32-bit view has a list of its own";
  EXPECT_FALSE(layer.KeyExists(L"hkey_current_user\\software\\alpha"));
  EXPECT_EQ(windows.registry.keyInfoQueries(), 2) << "no software key: nothing listed, nothing cached";
}

TEST(KeyExists, OtherPathsAreOpenedDirectlyAndUnknownHivesThrow) {
  Windows windows(true);
  windows.registry.AddKey(RegRoot::LocalMachine, L"SYSTEM\\CurrentControlSet");
  windows.registry.AddKey(RegRoot::ClassesRoot, L".zip");
  EXPECT_TRUE(windows.layer.KeyExists(L"hkey_local_machine\\system\\currentcontrolset"));
  EXPECT_TRUE(windows.layer.KeyExists(L"hkey_classes_root\\.zip"));
  EXPECT_FALSE(windows.layer.KeyExists(L"hkey_classes_root\\.rar"));
  try {
    windows.layer.KeyExists(L"hkey_nowhere\\x");
    ADD_FAILURE();
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "invalid unordered_map<K, T> key");
  }
  EXPECT_EQ(windows.registry.openKeys(), 0);
}

// One key with values of every kind, in the 64-bit view of 64-bit Windows.
class RegistryValues : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& r = windows.registry;
    r.SetTextW(RegRoot::LocalMachine, kKey, L"Text", L"Yes");
    r.SetTextW(RegRoot::LocalMachine, kKey, L"Empty", L"");
    r.SetTextW(RegRoot::LocalMachine, kKey, L"Unterminated", L"abc", reg::kSz, false);
    r.SetTextW(RegRoot::LocalMachine, kKey, L"Expand", L"%TEMP%\\x", reg::kExpandSz);
    r.SetW(RegRoot::LocalMachine, kKey, L"Multi", reg::kMultiSz, Wide(L"a\0b\0\0", 5));
    r.SetW(RegRoot::LocalMachine, kKey, L"Binary", reg::kBinary, {1, 2, 3});
    r.SetDwordW(RegRoot::LocalMachine, kKey, L"Seven", 7);
    r.SetDwordW(RegRoot::LocalMachine, kKey, L"AllOnes", 0xFFFFFFFFu);
    r.SetQwordW(RegRoot::LocalMachine, kKey, L"Big", 1ull << 40);
    r.SetQwordW(RegRoot::LocalMachine, kKey, L"Largest", ~0ull);
  }
  static std::vector<std::uint8_t> Wide(const wchar_t* text, std::size_t units) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
    return std::vector<std::uint8_t>(bytes, bytes + units * sizeof(wchar_t));
  }
  OpenedKey Open() {
    return windows.layer.OpenKey(L"hkey_local_machine\\software\\vendor", reg::kRead | reg::kWow64_64Key);
  }

  const std::wstring kKey = L"SOFTWARE\\Vendor";
  Windows windows{true};
};

TEST_F(RegistryValues, ExistenceAndTypes) {
  const OpenedKey key = Open();
  auto& layer = windows.layer;
  const std::pair<const wchar_t*, std::uint32_t> values[] = {
      {L"Text", reg::kSz},      {L"Empty", reg::kSz},   {L"Expand", reg::kExpandSz}, {L"Multi", reg::kMultiSz},
      {L"Binary", reg::kBinary}, {L"Seven", reg::kDword}, {L"Big", reg::kQword},
  };
  for (const auto& [name, type] : values) {
    EXPECT_TRUE(layer.ValueExists(key.get(), name)) << name;
    EXPECT_EQ(layer.GetValueType(key.get(), name), type) << name;
  }
  EXPECT_FALSE(layer.ValueExists(key.get(), L"Missing"));
  EXPECT_EQ(layer.GetValueType(key.get(), L"Missing"), 0u);
}

TEST_F(RegistryValues, DataMatchesByType) {
  const OpenedKey key = Open();
  struct Case {
    const wchar_t* name;
    std::uint32_t type;
    std::wstring expected;
    bool matches;
  };
  const Case cases[] = {
      {L"Text", reg::kSz, L"yes", true},
      {L"Text", reg::kSz, L"Yes", false},  // the registry text is lower-cased, the expected data is not
      {L"Text", reg::kSz, L"ye", false},
      {L"Empty", reg::kSz, L"", true},
      {L"Seven", reg::kDword, L"7", true},
      {L"Seven", reg::kDword, L" +07 apples", true},
      {L"Seven", reg::kDword, L"8", false},
      {L"AllOnes", reg::kDword, L"-1", true},
      {L"AllOnes", reg::kDword, L"4294967295", true},
      {L"Big", reg::kQword, L"1099511627776", true},
      {L"Largest", reg::kQword, L"18446744073709551615", true},
      {L"Expand", reg::kExpandSz, L"%temp%\\x", false},
      {L"Multi", reg::kMultiSz, L"a", false},
      {L"Binary", reg::kBinary, L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(windows.layer.ValueDataMatches(key.get(), c.name, c.type, c.expected), c.matches)
        << std::wstring(c.name).size() << " " << c.expected.size();
  }
}

TEST_F(RegistryValues, DataThatIsNoNumberThrowsTheConversionError) {
  const OpenedKey key = Open();
  struct Case {
    const wchar_t* name;
    std::uint32_t type;
    std::wstring expected;
    std::string message;
  };
  const Case cases[] = {
      {L"Seven", reg::kDword, L"seven", "invalid stoul argument"},
      {L"Seven", reg::kDword, L"", "invalid stoul argument"},
      {L"Seven", reg::kDword, L"4294967296", "stoul argument out of range"},
      {L"Big", reg::kQword, L"x1", "invalid stoull argument"},
      {L"Big", reg::kQword, L"18446744073709551616", "stoull argument out of range"},
  };
  for (const auto& c : cases) {
    try {
      windows.layer.ValueDataMatches(key.get(), c.name, c.type, c.expected);
      ADD_FAILURE() << c.message;
    } catch (const std::logic_error& error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
}

TEST_F(RegistryValues, FailedReadsThrowRegistryErrorsWithTheirCodes) {
  const OpenedKey key = Open();
  auto& layer = windows.layer;
  ExpectRegistryError([&] { layer.ValueDataMatches(key.get(), L"Missing", reg::kDword, L"1"); },
                      "Cannot read DWORD from registry.", reg::kFileNotFound);
  ExpectRegistryError([&] { layer.ValueDataMatches(key.get(), L"Text", reg::kQword, L"1"); },
                      "Cannot read QWORD from registry.", reg::kUnsupportedType);
  ExpectRegistryError([&] { layer.ReadString(key.get(), L"", L"Seven"); }, "Cannot read string from registry",
                      reg::kUnsupportedType);
  ExpectRegistryError([&] { layer.ReadString(key.get(), L"", L"Missing"); }, "Cannot read string from registry",
                      reg::kFileNotFound);
  ExpectRegistryError([&] { layer.OpenKey(L"hkey_local_machine\\software\\nothing", reg::kRead); },
                      "Cannot open registry key: RegOpenKeyEx failed.", reg::kFileNotFound);
  ExpectRegistryError([&] { layer.EnumSubKeys(0xDEAD); },
                      "RegQueryInfoKey failed while preparing for subkey enumeration.", reg::kInvalidHandle);
}

TEST_F(RegistryValues, ReadStringKeepsTheTextWithoutItsZero) {
  const OpenedKey key = Open();
  EXPECT_EQ(windows.layer.ReadString(key.get(), L"", L"Text"), L"Yes");
  EXPECT_EQ(windows.layer.ReadString(key.get(), L"", L"Empty"), L"");
  EXPECT_EQ(windows.layer.ReadString(key.get(), L"", L"Unterminated"), L"abc");
  windows.registry.SetTextW(RegRoot::LocalMachine, kKey + L"\\Sub", L"", L"default");
  EXPECT_EQ(windows.layer.ReadString(key.get(), L"Sub", L""), L"default");
}

TEST_F(RegistryValues, ReadValueTextGivesStringsAndNumbersOnly) {
  struct Case {
    const wchar_t* name;
    bool found;
    std::wstring text;
  };
  const Case cases[] = {
      {L"Text", true, L"Yes"},          {L"Empty", true, L""},           {L"Seven", true, L"7"},
      {L"AllOnes", true, L"4294967295"}, {L"Largest", true, L"18446744073709551615"},
      {L"Expand", false, L""},           {L"Multi", false, L""},         {L"Binary", false, L""},
      {L"Missing", false, L""},
  };
  for (const auto& c : cases) {
    std::wstring text;
    EXPECT_EQ(windows.layer.ReadValueText(L"hkey_local_machine", L"software\\vendor", c.name, text), c.found)
        << std::wstring(c.name).size();
    if (c.found) {
      EXPECT_EQ(text, c.text);
    }
  }
  EXPECT_EQ(windows.registry.openKeys(), 0);
}

TEST(ReadValueText, LooksInThe32BitCopyOfLowerCaseSoftwarePathsOn64BitWindows) {
  Windows windows(true);
  auto& r = windows.registry;
  r.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Only32", L"V", L"from 32");
  r.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Both", L"V", L"from 64");
  r.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Both", L"V", L"from 32");
  r.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Only64", L"V", L"from 64");
  std::wstring text;
  ASSERT_TRUE(windows.layer.ReadValueText(L"hkey_local_machine", L"software\\only32", L"V", text));
  EXPECT_EQ(text, L"from 32");
  ASSERT_TRUE(windows.layer.ReadValueText(L"hkey_local_machine", L"software\\both", L"V", text));
  EXPECT_EQ(text, L"from 64");
  // An upper-case path is no software path for the layer: it is read in this program's own view, the
  // 32-bit one.
  ASSERT_TRUE(windows.layer.ReadValueText(L"hkey_local_machine", L"SOFTWARE\\Both", L"V", text));
  EXPECT_EQ(text, L"from 32");
  EXPECT_FALSE(windows.layer.ReadValueText(L"hkey_local_machine", L"SOFTWARE\\Only64", L"V", text));

  Windows on32(false);
  on32.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Only", L"V", L"x");
  on32.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Other", L"V", L"y");
  EXPECT_TRUE(on32.layer.ReadValueText(L"hkey_local_machine", L"software\\only", L"V", text));
  EXPECT_FALSE(on32.layer.ReadValueText(L"hkey_local_machine", L"software\\other", L"V", text));
}

TEST(EnumSubKeys, LowerCasedInIndexOrder) {
  Windows windows(false);
  for (const wchar_t* name : {L"Beta", L"ALPHA", L"gamma.EXE"}) {
    windows.registry.AddKey(RegRoot::CurrentUser, std::wstring(L"Software\\Apps\\") + name + L"\\Deeper");
  }
  const OpenedKey key = windows.layer.OpenKey(L"hkey_current_user\\software\\apps", reg::kRead);
  EXPECT_EQ(windows.layer.EnumSubKeys(key.get()), (std::vector<std::wstring>{L"alpha", L"beta", L"gamma.exe"}));
}

TEST(EnumSubKeys, AFailedEnumerationThrows) {
  struct FailingEnumeration : FakeRegistry {
    long EnumKeyW(RegHandle, std::uint32_t, std::uint32_t, std::wstring*) override { return reg::kAccessDenied; }
  } registry;
  FakeMachine machine;
  registry.AddKey(RegRoot::CurrentUser, L"Software\\A\\B");
  RegistryLayer layer(registry, machine);
  const OpenedKey key = layer.OpenKey(L"hkey_current_user\\software\\a", reg::kRead);
  ExpectRegistryError([&] { layer.EnumSubKeys(key.get()); }, "Cannot enumerate subkeys: RegEnumKeyEx failed.",
                      reg::kAccessDenied);
}

}  // namespace
}  // namespace zelvane
