#include "offers/offer_rules.h"

#include <gtest/gtest.h>

#include "fakes/fake_machine.h"
#include "fakes/fake_registry.h"

namespace zelvane {
namespace {

using testing::FakeMachine;
using testing::FakeRegistry;

struct Rules {
  explicit Rules(bool is64Bit = true) {
    machine.wow64 = is64Bit;
    registry.wow64 = is64Bit;
  }
  FakeMachine machine;
  FakeRegistry registry;
  OfferRules rules{machine, registry};
};

constexpr std::uint64_t kMiB = 1ull << 20;

// --- System resources ---

TEST(DiskSpaceCheck, ComparesWholeFreeMiBOfTheDesktopDrive) {
  struct Case {
    std::uint64_t freeBytes;
    std::int64_t minDiskSpace;
    Rejection expected;
  };
  const Case cases[] = {
      {2500 * kMiB, 2500, std::nullopt},
      {2500 * kMiB - 1, 2500, "NOT ENOUGH DISK SPACE"},
      {2500 * kMiB, 2499, std::nullopt},
      {2500 * kMiB, -1, "NOT ENOUGH DISK SPACE"},  // a huge unsigned requirement
  };
  for (const auto& c : cases) {
    Rules r;
    r.machine.defaultDesktop = L"D:\\Users\\Default\\Desktop";
    r.machine.freeDiskBytes = c.freeBytes;
    EXPECT_EQ(r.rules.CheckDiskSpace(c.minDiskSpace), c.expected) << c.minDiskSpace;
    EXPECT_EQ(r.machine.diskRoots, std::vector<std::wstring>{L"D:\\"});
  }
}

TEST(DiskSpaceCheck, ProbesOnceAndRetriesAFailedProbe) {
  Rules r;
  EXPECT_EQ(r.rules.CheckDiskSpace(0), std::nullopt);
  EXPECT_TRUE(r.machine.diskRoots.empty()) << "no requirement, no probe";

  r.machine.defaultDesktop = L"";
  r.machine.diskError = 3;
  EXPECT_EQ(r.rules.CheckDiskSpace(10), "DISK SPACE CHECK FAILED 3");
  r.machine.defaultDesktop = L"C:";
  r.machine.diskError = 0;
  EXPECT_EQ(r.rules.CheckDiskSpace(10), std::nullopt);
  r.machine.freeDiskBytes = 0;
  EXPECT_EQ(r.rules.CheckDiskSpace(10), std::nullopt) << "the first successful probe holds";
  EXPECT_EQ(r.machine.diskRoots, (std::vector<std::wstring>{L"", L"C:"}));
}

TEST(RamCheck, TruncatesToWholeMiBProbesOnceAndRetriesFailures) {
  Rules r;
  r.machine.physicalMemory = 1536 * kMiB - 100000;  // 1535.9 MiB
  r.machine.memoryError = 1455;
  EXPECT_EQ(r.rules.CheckRam(0), std::nullopt);
  EXPECT_EQ(r.machine.memoryProbes, 0);
  EXPECT_EQ(r.rules.CheckRam(1536), "RAM CHECK FAILED 1455");
  r.machine.memoryError = 0;
  EXPECT_EQ(r.rules.CheckRam(1536), "NOT ENOUGH RAM");
  EXPECT_EQ(r.rules.CheckRam(1535), std::nullopt);
  EXPECT_EQ(r.rules.CheckRam(250), std::nullopt);
  EXPECT_EQ(r.machine.memoryProbes, 2);
}

TEST(CpuCheck, ReasonsAndCache) {
  Rules r;
  r.machine.cpuRead = CpuSpeedRead::CannotOpenKey;
  EXPECT_EQ(r.rules.CheckCpu(1500), "CPU CHECK FAILED: Couldn't open registry");
  r.machine.cpuRead = CpuSpeedRead::CannotReadValue;
  EXPECT_EQ(r.rules.CheckCpu(1500), "CPU CHECK FAILED: Couldn't read value");
  r.machine.cpuRead = CpuSpeedRead::Ok;
  r.machine.cpuMhz = 1500;
  EXPECT_EQ(r.rules.CheckCpu(1500), std::nullopt);
  EXPECT_EQ(r.rules.CheckCpu(1501), "NOT ENOUGH CPU");
  EXPECT_EQ(r.rules.CheckCpu(0), std::nullopt);
  EXPECT_EQ(r.machine.cpuProbes, 3);
}

TEST(OsVersionCheck, CodesAgainstWindowsVersions) {
  struct Case {
    int osRule;
    unsigned major, minor, servicePack;
    bool rejected;
  };
  const Case cases[] = {
      {0, 5, 1, 0, false},   {-7, 5, 1, 0, false},   {61, 6, 1, 0, false}, {61, 6, 0, 2, true},
      {62, 6, 1, 1, true},   {62, 6, 2, 0, false},   {63, 6, 2, 0, true},  {63, 10, 0, 0, false},
      {100, 6, 3, 0, true},  {100, 10, 0, 0, false}, {64, 10, 0, 0, true}, {1, 10, 0, 0, true},
  };
  for (const auto& c : cases) {
    Rules r;
    r.machine.osVersion = OsVersion{c.major, c.minor, 0};
    r.machine.servicePack = static_cast<std::uint16_t>(c.servicePack);
    EXPECT_EQ(r.rules.CheckOsVersion(c.osRule), c.rejected ? Rejection("UNSUPPORTED OS VERSION") : std::nullopt)
        << c.osRule << " on " << c.major << "." << c.minor;
  }
}

TEST(PlatformVersionCheck, ComparesNumberByNumber) {
  const std::pair<const char*, bool> cases[] = {
      {"", false},        {"3.2", false},         {"3.2.1", true},        {"3.10", true},
      {"4", true},        {"3", false},           {"abc", false},         {"3..2", false},
      {".3.2.", false},   {"3.2.0.6031", false},  {"3.2.0.6032", true},   {"3.2.0.6031.1", true},
      {"-1", false},      {"3.2a.1", true},       {" 3.3", true},         {"3.1x.99", false},
      {"99999999999", true},
  };
  for (const auto& [rule, rejected] : cases) {
    Rules r;
    EXPECT_EQ(r.rules.CheckPlatformVersion(rule, L"3.2.0.6031"),
              rejected ? Rejection("UNSUPPORTED PLATFORM VERSION") : std::nullopt)
        << rule;
  }
}

TEST(SixtyFourBitCheck, FollowsWow64) {
  Rules on32(false), on64(true);
  EXPECT_EQ(on32.rules.Check64BitOs(true), "64 BIT OS REQUIRED");
  EXPECT_EQ(on32.rules.Check64BitOs(false), std::nullopt);
  EXPECT_EQ(on64.rules.Check64BitOs(true), std::nullopt);
}

// --- Presence ---

class RegistryRules : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& reg = r.registry;
    reg.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor\\Product");
    reg.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor\\Product", L"InstallDir", L"C:\\x");
    reg.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor\\Product", L"Version", 7);
    reg.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor\\Product", L"Flag", L"Yes");
    reg.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor\\Product", L"Path", L"7", reg::kExpandSz);
    reg.AddKey(RegRoot::CurrentUser, L"Software\\UserVendor");
    reg.AddKey(RegRoot::LocalMachine, L"SYSTEM\\Setup");
  }
  Rejection Check(std::vector<std::wstring> r_, std::vector<std::wstring> ir, std::vector<std::wstring> rvn,
                  std::vector<std::wstring> rvd) {
    return r.rules.CheckRegistryRules(r_, ir, rvn, rvd);
  }
  Rules r;
};

TEST_F(RegistryRules, KeyRules) {
  using L = std::vector<std::wstring>;
  struct Case {
    L allAbsent, onePresent;
    Rejection expected;
  };
  const Case cases[] = {
      {{}, {}, std::nullopt},
      {{L"VENDOR\\Product"}, {}, "REGISTRY KEY EXISTS"},
      {{L"other", L"hkcu\\software\\uservendor"}, {}, "REGISTRY KEY EXISTS"},
      {{L"hklm\\system\\setup"}, {}, "REGISTRY KEY EXISTS"},
      {{L"", L"vendor"}, {}, std::nullopt},  // an empty rule ends the list
      {{L"vendor\\other"}, {L"missing"}, "NONE OF THE REGISTRY KEYS EXISTS"},
      {{}, {L"missing", L"uservendor"}, std::nullopt},
      {{}, {L"", L"vendor"}, "NONE OF THE REGISTRY KEYS EXISTS"},
      {{L"vendor"}, {L"missing"}, "REGISTRY KEY EXISTS"},  // "r" first
  };
  for (const auto& c : cases) EXPECT_EQ(Check(c.allAbsent, c.onePresent, {}, {}), c.expected);
  EXPECT_EQ(r.registry.openKeys(), 0);
}

TEST_F(RegistryRules, ValueNameAndDataRules) {
  using L = std::vector<std::wstring>;
  struct Case {
    L rvn, rvd;
    Rejection expected;
  };
  const Case cases[] = {
      {{L"vendor\\product\\InstallDir"}, {}, "REGISTRY VALUE EXISTS"},
      {{L"vendor\\product\\other", L"hkcu\\software\\uservendor\\x"}, {}, std::nullopt},
      {{L"", L"vendor\\product\\installdir"}, {}, std::nullopt},  // an empty rule ends "rvn"
      {{L"missing\\installdir"}, {L"vendor\\product\\version\\7"}, "REGISTRY VALUE DATA MATCHES"},
      {{}, {L"vendor\\product\\version\\8"}, std::nullopt},
      {{}, {L"vendor\\product\\flag\\YES"}, "REGISTRY VALUE DATA MATCHES"},
      {{}, {L"vendor\\product\\flag\\no"}, std::nullopt},
      {{}, {L"", L"vendor\\product\\flag\\yes"}, "REGISTRY VALUE DATA MATCHES"},  // "rvd" moves on
      {{}, {L"vendor\\product\\path\\7"}, std::nullopt},                         // expandable: never
      {{}, {L"vendor\\product\\missing\\7", L"vendor\\7"}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Check({}, {}, c.rvn, c.rvd), c.expected) << c.rvn.size() << c.rvd.size();
  EXPECT_EQ(r.registry.openKeys(), 0);
}

TEST_F(RegistryRules, DataThatIsNoNumberEndsTheCheckWithTheConversionError) {
  EXPECT_THROW(Check({}, {}, {}, {L"vendor\\product\\version\\seven"}), std::invalid_argument);
  EXPECT_EQ(r.registry.openKeys(), 0);
}

TEST(FileChecks, NoneMayExistOrOneMust) {
  Rules r;
  r.machine.files = {L"C:\\Program Files\\Vendor\\app.exe"};
  const std::wstring present = L"C:\\Program Files\\Vendor\\app.exe";
  const std::wstring absent = L"C:\\Program Files\\Other\\app.exe";
  EXPECT_EQ(r.rules.CheckFiles({}, {}), std::nullopt);
  EXPECT_EQ(r.machine.pathProbes, 0);
  EXPECT_EQ(r.rules.CheckFiles({absent, present}, {}), "FILE EXISTS");
  EXPECT_EQ(r.rules.CheckFiles({absent}, {absent}), "NONE OF THE FILES EXISTS");
  EXPECT_EQ(r.rules.CheckFiles({absent}, {absent, present}), std::nullopt);
  EXPECT_EQ(r.rules.CheckFiles({}, {L"{commonpf64}\\Vendor\\app.exe"}), "NONE OF THE FILES EXISTS");
}

TEST(RunningProcessCheck, DotRules) {
  struct Case {
    const wchar_t* rule;
    const wchar_t* process;
    bool running;
  };
  const Case cases[] = {
      {L"app", L"APP.EXE", true},        {L"app.exe", L"app.exe.bak", true}, {L"app.exe", L"App.Exe", true},
      {L"App", L"app.exe", true},        {L"a.b", L"a.b.exe", true},         {L"app.exe", L"app", false},
      {L"app", L"app.exe.bak", false},   {L"app", L"myapp.exe", false},      {L"app.exe", L"app.com", false},
      {L"app", L"app", true},
  };
  for (const auto& c : cases) {
    Rules r;
    r.machine.processes = {L"System", c.process};
    EXPECT_EQ(r.rules.CheckRunningProcesses({L"other", c.rule}),
              c.running ? Rejection("APPLICATION RUNNING") : std::nullopt)
        << std::wstring(c.rule).size() << " " << std::wstring(c.process).size();
  }
}

TEST(RunningProcessCheck, OneSnapshotPerCheckerAndAFailedOneIsRetried) {
  Rules r;
  EXPECT_EQ(r.rules.CheckRunningProcesses({}), std::nullopt);
  EXPECT_EQ(r.machine.snapshots, 0);
  r.machine.snapshotFails = true;
  EXPECT_EQ(r.rules.CheckRunningProcesses({L"explorer"}), std::nullopt);
  r.machine.snapshotFails = false;
  EXPECT_EQ(r.rules.CheckRunningProcesses({L"explorer"}), "APPLICATION RUNNING");
  r.machine.processes = {};
  EXPECT_EQ(r.rules.CheckRunningProcesses({L"explorer"}), "APPLICATION RUNNING");
  EXPECT_EQ(r.machine.snapshots, 2);
}

class InstalledApps : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  void Register(RegRoot root, const std::wstring& base, const std::wstring& name, const std::wstring& path) {
    r.registry.SetTextW(root, base + name, L"", path);
  }
  void SetUp() override {
    r.machine.files = {L"C:\\Apps\\app.exe", L"C:\\Apps\\tool.exe", L"C:\\Apps\\user.exe", L"C:\\Apps\\wide.exe"};
    Register(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\",
             L"App.exe", L"C:\\Apps\\app.exe");
    Register(RegRoot::LocalMachine, kAppPaths, L"wide.exe", L"C:\\Apps\\wide.exe");  // 64-bit view only
    Register(RegRoot::CurrentUser, kAppPaths, L"user.exe", L"C:\\Apps\\user.exe");
    Register(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\",
             L"quoted.exe", L"\"C:\\Apps\\tool.exe\"");
    Register(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\",
             L"gone.exe", L"C:\\Apps\\gone.exe");
    r.registry.AddKey(RegRoot::LocalMachine,
                      L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\nodefault.exe");
  }
  Rules r;
};

TEST_F(InstalledApps, LowerCaseNamesWhoseDefaultValueNamesAFile) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"app.exe", true},      {L"App.exe", false},   {L"wide.exe", true},    {L"user.exe", true},
      {L"quoted.exe", false},  {L"gone.exe", false},  {L"nodefault.exe", false}, {L"missing.exe", false},
  };
  for (const auto& [name, installed] : cases) EXPECT_EQ(r.rules.AppInstalled(name), installed) << name;
  EXPECT_EQ(r.registry.openKeys(), 0);
}

TEST_F(InstalledApps, IncludedAndExcluded) {
  EXPECT_EQ(r.rules.CheckInstalledApps({}, {}), std::nullopt);
  EXPECT_EQ(r.rules.CheckInstalledApps({L"app.exe", L"App.exe"}, {}), "REGISTRY INCLUDE APP NOT FOUND");
  EXPECT_EQ(r.rules.CheckInstalledApps({L"app.exe"}, {L"quoted.exe", L"user.exe"}), "REGISTRY EXCLUDE APP FOUND");
  EXPECT_EQ(r.rules.CheckInstalledApps({L"user.exe"}, {L"gone.exe"}), std::nullopt);
}

TEST_F(InstalledApps, IndexBuiltOnceAndEachEntryResolvedOnce) {
  EXPECT_TRUE(r.rules.AppInstalled(L"app.exe"));
  const int queries = r.registry.keyInfoQueries();
  EXPECT_EQ(queries, 4) << "two hives, two views";
  const int opens = r.registry.opens();
  EXPECT_TRUE(r.rules.AppInstalled(L"app.exe"));
  EXPECT_FALSE(r.rules.AppInstalled(L"quoted.exe"));
  const int afterQuoted = r.registry.opens();
  EXPECT_FALSE(r.rules.AppInstalled(L"quoted.exe"));
  EXPECT_EQ(r.registry.opens(), afterQuoted);
  EXPECT_EQ(afterQuoted, opens + 1);
  EXPECT_EQ(r.registry.keyInfoQueries(), queries);
}

TEST(InstalledAppsOn32BitWindows, OneViewOnly) {
  Rules r(false);
  r.machine.files = {L"C:\\Apps\\app.exe"};
  r.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe",
                      L"", L"C:\\Apps\\app.exe");
  EXPECT_TRUE(r.rules.AppInstalled(L"app.exe"));
  EXPECT_EQ(r.registry.keyInfoQueries(), 1) << "the user has no App Paths key";
}

class ChromeCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    macros.Add(L"commonpf", L"{commonpf32}");
    macros.Add(L"commonpf32", L"C:\\Program Files (x86)");
    macros.Add(L"localappdata", L"C:\\Users\\a\\AppData\\Local");
  }
  FolderMacroTable macros;
  Rules r;
};

TEST_F(ChromeCheck, RequiredOrForbidden) {
  EXPECT_EQ(r.rules.CheckChrome(false, false, macros), std::nullopt);
  EXPECT_EQ(r.machine.pathProbes, 0);
  EXPECT_EQ(r.rules.CheckChrome(true, false, macros), "NC");
  EXPECT_EQ(r.rules.CheckChrome(false, true, macros), std::nullopt);
  r.machine.files = {L"C:\\Program Files (x86)\\Google\\Chrome\\Application\\chrome.exe"};
  EXPECT_EQ(r.rules.CheckChrome(true, false, macros), std::nullopt);
  EXPECT_EQ(r.rules.CheckChrome(false, true, macros), "HC");
  EXPECT_EQ(r.rules.CheckChrome(true, true, macros), "HC");
}

TEST_F(ChromeCheck, FindsTheBrowserWhereTheRegistrySaysItIs) {
  struct Case {
    RegRoot root;
    std::wstring key;
    std::wstring path;
    std::wstring file;
    bool found;
  };
  const Case cases[] = {
      {RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe",
       L"D:\\Chrome", L"D:\\Chrome\\chrome.exe", true},
      {RegRoot::CurrentUser, L"Software\\Google\\Chrome\\BLBeacon", L"D:\\Beacon\\chrome.exe",
       L"D:\\Beacon\\chrome.exe", true},
      {RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe",
       L"D:\\Chrome", L"D:\\Chrome", false},  // the folder alone is no browser
      {RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe",
       L"D:\\Chrome", L"D:\\Chrome\\chrome.exe", false},  // read in the 32-bit program's view only
  };
  for (const auto& c : cases) {
    Rules rules;
    rules.registry.SetTextW(c.root, c.key, L"Path", c.path);
    rules.machine.files = {c.file};
    EXPECT_EQ(rules.rules.CheckChrome(true, false, macros), c.found ? std::nullopt : Rejection("NC")) << c.path.size();
  }
}

// --- History ---

TEST(UninstallAgeCheck, SecondsMillisecondsAndDays) {
  constexpr std::int64_t kNow = 1765368000;
  constexpr std::int64_t kDay = 86400;
  struct Case {
    std::uint64_t stamp;
    bool inMilliseconds;
    int minDays;
    bool rejected;
  };
  const Case cases[] = {
      {kNow - 2 * kDay, false, 3, true},
      {kNow - 2 * kDay, false, 2, false},  // exactly two days ago
      {kNow - 2 * kDay + 1, false, 2, true},
      {(kNow - kDay) * 1000, true, 2, true},
      {(kNow - 3 * kDay) * 1000 + 999, true, 3, false},  // milliseconds are cut, not rounded
      {(kNow - 30 * kDay) * 1000, false, 0, true},       // milliseconds read as seconds lie far ahead
      {kNow, false, 30000, false},                       // 30000 days overflow the 32-bit product
      {kNow, false, -1, false},
  };
  for (const auto& c : cases) {
    Rules r;
    r.machine.unixSeconds = kNow;
    r.registry.SetQwordW(RegRoot::LocalMachine, L"SOFTWARE\\Vendor", L"Removed", c.stamp);
    const std::vector<UninstallRule> rules{
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Vendor", L"Missing", L"REG_QWORD", 1000, false},
        {L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Vendor", L"REMOVED", L"REG_QWORD", c.minDays, c.inMilliseconds}};
    EXPECT_EQ(r.rules.CheckUninstallAge(rules), c.rejected ? Rejection("MIN DAYS UNINSTALL CHECKER") : std::nullopt)
        << c.stamp << " " << c.minDays;
  }
}

TEST(UninstallAgeCheck, TextStampsAndFailures) {
  Rules r;
  r.machine.unixSeconds = 1765368000;
  r.registry.SetTextW(RegRoot::CurrentUser, L"Software\\Vendor", L"When", L"1765367000");
  r.registry.SetTextW(RegRoot::CurrentUser, L"Software\\Vendor", L"Bad", L"yesterday");
  EXPECT_EQ(r.rules.CheckUninstallAge({{L"hkey_current_user", L"software\\vendor", L"when", L"", 1, false}}),
            "MIN DAYS UNINSTALL CHECKER");
  EXPECT_EQ(r.rules.CheckUninstallAge({{L"hkey_current_user", L"software\\vendor", L"missing", L"", 1, false}}),
            std::nullopt);
  EXPECT_THROW(r.rules.CheckUninstallAge({{L"hkey_current_user", L"software\\vendor", L"bad", L"", 1, false}}),
               std::invalid_argument);
  EXPECT_THROW(r.rules.CheckUninstallAge({{L"hklm", L"software\\vendor", L"when", L"", 1, false}}),
               std::out_of_range);
}

TEST(IeVersionCheck, RejectsVersionsBelowNine) {
  const std::pair<const wchar_t*, Rejection> cases[] = {
      {L"9.11.19041.0", std::nullopt}, {L"9.0", std::nullopt},       {L"11.0.9600.16428", std::nullopt},
      {L"8.0.7601.17514", "OLD IE VERSION"}, {L"8.99", "OLD IE VERSION"}, {L"0", "OLD IE VERSION"},
  };
  for (const auto& [version, expected] : cases) {
    Rules r;
    r.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer", L"Version",
                        version);
    EXPECT_EQ(r.rules.CheckIeVersion(false), std::nullopt);
    EXPECT_EQ(r.rules.CheckIeVersion(true), expected) << std::wstring(version).size();
  }
  Rules none;
  EXPECT_EQ(none.rules.CheckIeVersion(true), std::nullopt);
  Rules bad;
  bad.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer", L"Version",
                        L"unknown");
  try {
    bad.rules.CheckIeVersion(true);
    ADD_FAILURE();
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "invalid stof argument");
  }
}

TEST(PartnerMarkCheck, NotShownBeforeTheStoredLocalDate) {
  struct Case {
    std::int64_t now;  // the fake machine's local time is UTC + 1 hour
    bool rejected;
  };
  const Case cases[] = {
      {1767182400, true},   // 2025-12-31 13:00 local
      {1767223800, false},  // 2026-01-01 00:30 local, still 2025-12-31 in UTC
      {1767268800, false},  // 2026-01-01 13:00 local
  };
  const std::wstring valueName = L"0cc175b9c0f1b6a831c399e269772661";
  for (const auto& c : cases) {
    Rules r;
    r.machine.unixSeconds = c.now;
    r.registry.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Partner", valueName, 20260101);
    EXPECT_EQ(r.rules.CheckPartnerMark(false, L"SOFTWARE\\Partner", valueName), std::nullopt);
    EXPECT_EQ(r.rules.CheckPartnerMark(true, L"SOFTWARE\\Partner", valueName),
              c.rejected ? Rejection("PN NO SHOW") : std::nullopt)
        << c.now;
    EXPECT_EQ(r.rules.CheckPartnerMark(true, L"SOFTWARE\\Partner", L"other"), std::nullopt);
  }
}

}  // namespace
}  // namespace zelvane
