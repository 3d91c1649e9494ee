#include "offers/eligibility_checker.h"

#include <gtest/gtest.h>

#include <functional>

#include "offers/package_fixture.h"
#include "telemetry/encoding.h"

namespace zelvane {
namespace {

using json = nlohmann::json;
using testing::OfferSetup;
using Answer = testing::RecordingTransport::Answer;

// The MD5 hex digest of "Zelvane", the publisher of the fixture: the name of the partner mark.
constexpr wchar_t kMarkName[] = L"645f32cd9ac5ccbc93e863bc5018ed63";

struct Engine : OfferSetup {
  explicit Engine(int maxOffers = 10) : checker(maxOffers, config) {
    fakes.transport.Script(std::vector<Answer>(100, testing::Status(200)));
  }

  // The loading page's protocol: each offer built at the accepted list's size, stop and exclusive
  // end the list. Returns the accepted offer identifiers.
  std::vector<std::string> Run(const std::vector<json>& offers) {
    for (const auto& offer : offers) {
      const auto package = Build(offer, static_cast<int>(accepted.size()));
      bool stop = false;
      if (checker.Check(package, stop, accepted)) {
        accepted.push_back(package);
        ++config->offerCount;
        if (package->exclusive) break;
      } else if (stop) {
        stopped = true;
        break;
      }
    }
    Drain();
    std::vector<std::string> ids;
    for (const auto& p : accepted) ids.push_back(p->offerId);
    return ids;
  }

  EligibilityChecker checker;
  EligibilityChecker::PackageList accepted;
  bool stopped = false;
};

using Ids = std::vector<std::string>;
using Reasons = std::map<std::string, std::string>;

TEST(EligibilityChecker, EachCheckRejectsWithItsReason) {
  struct Case {
    const char* name;
    json ps;
    std::function<void(Engine&)> arrange;
    std::string reason;
  };
  const auto nothing = [](Engine&) {};
  const Case cases[] = {
      {"r", {{"r", {"hklm\\software\\vendor\\app"}}},
       [](Engine& e) { e.fakes.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Vendor\\App"); },
       "REGISTRY KEY EXISTS"},
      {"ir", {{"ir", {"hklm\\software\\vendor\\app"}}}, nothing, "NONE OF THE REGISTRY KEYS EXISTS"},
      {"rvn", {{"rvn", {"hkey_current_user\\software\\v\\name"}}},
       [](Engine& e) { e.fakes.registry.SetTextW(RegRoot::CurrentUser, L"Software\\V", L"Name", L"x"); },
       "REGISTRY VALUE EXISTS"},
      {"rvd", {{"rvd", {"hkey_current_user\\software\\v\\name\\abc"}}},
       [](Engine& e) { e.fakes.registry.SetTextW(RegRoot::CurrentUser, L"Software\\V", L"Name", L"ABC"); },
       "REGISTRY VALUE DATA MATCHES"},
      {"disk", {{"disk", 50000}}, nothing, "NOT ENOUGH DISK SPACE"},
      {"disk probe", {{"disk", 1}}, [](Engine& e) { e.fakes.machine.diskError = 21; }, "DISK SPACE CHECK FAILED 21"},
      {"ram", {{"ram", 9000}}, nothing, "NOT ENOUGH RAM"},
      {"ram probe", {{"x", 1}}, [](Engine& e) { e.fakes.machine.memoryError = 8; }, "RAM CHECK FAILED 8"},
      {"cpu", {{"x", 3}}, [](Engine& e) { e.fakes.machine.cpuMhz = 1499; }, "NOT ENOUGH CPU"},
      {"cpu key", {{"cpu", 1}}, [](Engine& e) { e.fakes.machine.cpuRead = CpuSpeedRead::CannotOpenKey; },
       "CPU CHECK FAILED: Couldn't open registry"},
      {"cpu value", {{"cpu", 1}}, [](Engine& e) { e.fakes.machine.cpuRead = CpuSpeedRead::CannotReadValue; },
       "CPU CHECK FAILED: Couldn't read value"},
      {"ov", {{"ov", 100}}, [](Engine& e) { e.fakes.machine.osVersion = OsVersion{6, 3, 9600}; },
       "UNSUPPORTED OS VERSION"},
      {"pv", {{"pv", "3.2.1"}}, nothing, "UNSUPPORTED PLATFORM VERSION"},
      {"win64", {{"win64", true}}, [](Engine& e) { e.fakes.machine.wow64 = false; }, "64 BIT OS REQUIRED"},
      {"x 10", {{"x", 10}}, [](Engine& e) { e.fakes.machine.wow64 = false; }, "64 BIT OS REQUIRED"},
      {"fe", {{"fe", {"{programdata}\\A\\a.exe"}}},
       [](Engine& e) { e.fakes.machine.files.insert(L"C:\\ProgramData\\A\\a.exe"); }, "FILE EXISTS"},
      {"ife", {{"ife", {"C:\\none"}}}, nothing, "NONE OF THE FILES EXISTS"},
      {"a", {{"a", {"EXPLORER"}}}, nothing, "APPLICATION RUNNING"},
      {"iapp", {{"iapp", {"good.exe"}}}, nothing, "REGISTRY INCLUDE APP NOT FOUND"},
      {"eapp", {{"eapp", {"bad.exe"}}},
       [](Engine& e) {
         e.fakes.registry.SetTextW(RegRoot::CurrentUser,
                                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\bad.exe", L"",
                                   L"C:\\bad.exe");
         e.fakes.machine.files.insert(L"C:\\bad.exe");
       },
       "REGISTRY EXCLUDE APP FOUND"},
      {"cmdu",
       {{"cmdu", {{{"utr", "HKEY_CURRENT_USER"}, {"utk", "Software\\U"}, {"utvn", "At"}, {"utvt", "REG_SZ"}, {"umd", 2}}}}},
       [](Engine& e) { e.fakes.registry.SetTextW(RegRoot::CurrentUser, L"Software\\U", L"At", L"1765300000"); },
       "MIN DAYS UNINSTALL CHECKER"},
      {"x 2 without Chrome", {{"x", 2}}, nothing, "NC"},
      {"x 12", {{"x", 12}}, nothing, "NC"},
      {"x 13", {{"x", 13}},
       [](Engine& e) { e.fakes.machine.files.insert(L"C:\\Users\\a\\AppData\\Local\\Chromium\\Application\\chrome.exe"); },
       "HC"},
      {"x 2 with an old IE", {{"x", 2}},
       [](Engine& e) {
         e.fakes.machine.files.insert(L"C:\\Users\\a\\AppData\\Local\\Chromium\\Application\\chrome.exe");
         e.fakes.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer", L"Version",
                                   L"8.0.7601.17514");
       },
       "OLD IE VERSION"},
      {"partner mark", {{"pn", true}, {"pnr", "SOFTWARE\\Partner"}},
       [](Engine& e) {
         e.fakes.registry.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Partner", kMarkName, 20251211);
       },
       "PN NO SHOW"},
      // Two failing checks: the earlier step's reason only.
      {"disk before files", {{"disk", 50000}, {"ife", {"C:\\none"}}}, nothing, "NOT ENOUGH DISK SPACE"},
      {"registry before disk", {{"ir", {"hklm\\software\\none"}}, {"disk", 50000}}, nothing,
       "NONE OF THE REGISTRY KEYS EXISTS"},
  };
  for (const auto& c : cases) {
    Engine e;
    e.config->programVersion = L"3.2.0.6031";
    e.fakes.machine.physicalMemory = 4ULL << 30;  // 4096 MiB
    e.fakes.machine.freeDiskBytes = 40ULL << 30;  // 40960 MiB
    c.arrange(e);
    EXPECT_EQ(e.Run({OfferSetup::OfferJson("A", c.ps)}), Ids{}) << c.name;
    EXPECT_EQ(e.Rejections(), (Reasons{{"A", c.reason}})) << c.name;
    EXPECT_FALSE(e.stopped) << c.name;
  }
}

// An offer that fails every check from step 2 to 18 at once is rejected by step 2; without that
// condition by step 3; and so on down the engine's order.
TEST(EligibilityChecker, ChecksRunInTheEnginesOrder) {
  struct Step {
    const char* name;
    json patch;  // applied to "ps" from the last step to the first, so an earlier step's value wins
    std::string reason;
  };
  const json recent = {{{"utr", "HKEY_CURRENT_USER"}, {"utk", "Software\\U"}, {"utvn", "At"}, {"utvt", "s"}, {"umd", 2}}};
  const std::vector<Step> steps{
      {"frequency", {{"cfs", {{"mb", 0}}}}, "SHOWED 1 PRODUCTS BUT ONLY 0 ALLOWED BEFORE"},
      {"group", {{"v", 0}}, "SVOAP"},
      {"exclusive", {{"exc", true}}, "EBAOAP"},
      {"registry", {{"r", {"hklm\\software\\vendor\\app"}}}, "REGISTRY KEY EXISTS"},
      {"disk", {{"disk", 100000000}}, "NOT ENOUGH DISK SPACE"},
      {"ram", {{"ram", 100000000}}, "NOT ENOUGH RAM"},
      {"cpu", {{"cpu", 100000000}}, "NOT ENOUGH CPU"},
      {"os", {{"ov", 100}}, "UNSUPPORTED OS VERSION"},
      {"platform", {{"pv", "9"}}, "UNSUPPORTED PLATFORM VERSION"},
      {"64-bit", {{"win64", true}}, "64 BIT OS REQUIRED"},
      {"files", {{"fe", {"C:\\there"}}}, "FILE EXISTS"},
      {"processes", {{"a", {"explorer"}}}, "APPLICATION RUNNING"},
      {"apps", {{"iapp", {"none.exe"}}}, "REGISTRY INCLUDE APP NOT FOUND"},
      {"uninstall", {{"cmdu", recent}}, "MIN DAYS UNINSTALL CHECKER"},
      {"chrome", {{"x", 13}}, "HC"},
      {"ie", {{"x", 2}}, "OLD IE VERSION"},
      {"partner mark", json::object(), "PN NO SHOW"},  // the base offer's partner key holds a mark
  };
  for (std::size_t first = 0; first < steps.size(); ++first) {
    Engine e;
    e.config->programVersion = L"3.2.0.6031";
    e.fakes.machine.wow64 = false;
    e.fakes.registry.wow64 = false;
    e.fakes.machine.osVersion = OsVersion{6, 1, 7601};
    e.fakes.machine.files.insert(L"C:\\there");
    e.fakes.machine.files.insert(L"C:\\Users\\a\\AppData\\Local\\Chromium\\Application\\chrome.exe");
    e.fakes.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Vendor\\App");
    e.fakes.registry.SetTextW(RegRoot::CurrentUser, L"Software\\U", L"At", L"1765300000");
    e.fakes.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version", L"8.0");
    e.fakes.registry.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Partner", kMarkName, 20251211);

    json ps{{"v", 1}, {"pn", true}, {"pnr", "SOFTWARE\\Partner"}};
    for (std::size_t step = steps.size(); step-- > first;) {
      for (auto it = steps[step].patch.begin(); it != steps[step].patch.end(); ++it) ps[it.key()] = it.value();
    }
    EXPECT_EQ(e.Run({OfferSetup::OfferJson("Z"), OfferSetup::OfferJson("A", ps)}), Ids{"Z"}) << steps[first].name;
    EXPECT_EQ(e.Rejections(), (Reasons{{"A", steps[first].reason}})) << steps[first].name;
  }
}

TEST(EligibilityChecker, AnOfferThatPassesEveryCheckIsRecorded) {
  Engine e;
  e.config->programVersion = L"3.2.0.6031";
  e.fakes.machine.files.insert(L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe");
  e.fakes.machine.files.insert(L"C:\\yes");
  e.fakes.registry.AddKey(RegRoot::LocalMachine, L"SOFTWARE\\Vendor\\App");
  e.fakes.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer", L"Version", L"11.0");
  e.fakes.registry.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Partner", kMarkName, 20251210);
  const json ps{{"r", {"hklm\\software\\absent"}}, {"ir", {"hklm\\software\\vendor\\app"}}, {"x", 2},
                {"disk", 100}, {"ram", 100}, {"cpu", 100}, {"ov", 61}, {"pv", "3.2"}, {"win64", true},
                {"fe", {"C:\\no"}}, {"ife", {"C:\\yes"}}, {"a", {"notrunning.exe"}}, {"eapp", {"bad.exe"}},
                {"pn", true}, {"pnr", "SOFTWARE\\Partner"}, {"v", 3}};
  EXPECT_EQ(e.Run({OfferSetup::OfferJson("A", ps)}), Ids{"A"});
  EXPECT_EQ(e.Rejections(), Reasons{});
  EXPECT_TRUE(e.fakes.transport.posts().empty()) << "an acceptance sends nothing";
  EXPECT_EQ(e.checker.acceptedCount, 1);
  EXPECT_EQ(e.checker.acceptedOfferIds, Ids{"A"});
  EXPECT_EQ(e.checker.acceptedGroups, std::unordered_set<int>{3});
}

TEST(EligibilityChecker, PartnerMarkAgainstTodaysLocalDate) {
  // The fake machine's local date is 2025-12-10.
  struct Case {
    std::optional<std::uint32_t> stored;
    bool partner;
    bool shown;
  };
  const Case cases[] = {
      {20251211, true, false}, {20260608, true, false}, {20251210, true, true},
      {20251209, true, true},  {std::nullopt, true, true}, {20251211, false, true},
  };
  for (const auto& c : cases) {
    Engine e;
    if (c.stored) e.fakes.registry.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Partner", kMarkName, *c.stored);
    const json ps{{"pn", c.partner}, {"pnr", "SOFTWARE\\Partner"}};
    EXPECT_EQ(e.Run({OfferSetup::OfferJson("A", ps)}), c.shown ? Ids{"A"} : Ids{}) << c.stored.value_or(0);
  }
}

TEST(EligibilityChecker, OfferLimitStopsWithoutReporting) {
  struct Case {
    int maxOffers;
    int adjustment;  // set before the pass
    std::vector<json> offers;
    Ids accepted;
    bool stopped;
    Reasons reported;
  };
  const auto eligible = [](const char* id, int group) { return OfferSetup::OfferJson(id, {{"v", group}}); };
  const Case cases[] = {
      {0, 0, {eligible("A", 1)}, {}, true, {}},
      {2, 0, {eligible("A", 1), eligible("B", 2), eligible("C", 3)}, {"A", "B"}, true, {}},
      {2, 0, {eligible("A", 1), eligible("B", 1), eligible("C", 3)}, {"A", "C"}, false, {{"B", "SVOAP"}}},
      // Past the limit but within the adjustment: rejections are no longer reported.
      {1, 1, {eligible("A", 1), eligible("B", 1), eligible("C", 2), eligible("D", 3)}, {"A", "C"}, true, {}},
  };
  for (const auto& c : cases) {
    Engine e(c.maxOffers);
    e.config->offerLimitAdjustment = c.adjustment;
    EXPECT_EQ(e.Run(c.offers), c.accepted) << c.maxOffers;
    EXPECT_EQ(e.stopped, c.stopped) << c.maxOffers;
    EXPECT_EQ(e.Rejections(), c.reported) << c.maxOffers;
  }
}

TEST(EligibilityChecker, GroupsAndExclusivity) {
  struct Case {
    const char* name;
    std::vector<json> offers;
    Ids accepted;
    Reasons reported;
  };
  const auto offer = [](const char* id, const json& ps) { return OfferSetup::OfferJson(id, ps); };
  const Case cases[] = {
      {"group 0 twice", {offer("A", {}), offer("B", {})}, {"A"}, {{"B", "SVOAP"}}},
      {"group -1 twice", {offer("A", {{"v", -1}}), offer("B", {{"v", -1}})}, {"A"}, {{"B", "MOWOV"}}},
      {"two groups", {offer("A", {{"v", 1}}), offer("B", {{"v", 2}})}, {"A", "B"}, {}},
      {"exclusive after one", {offer("A", {{"v", 1}}), offer("B", {{"v", 2}, {"exc", true}})}, {"A"},
       {{"B", "EBAOAP"}}},
      {"exclusive first ends the list", {offer("A", {{"v", 1}, {"exc", true}}), offer("B", {{"v", 2}})}, {"A"}, {}},
      {"group before RAM", {offer("A", {}), offer("B", {{"ram", 1000000}})}, {"A"}, {{"B", "SVOAP"}}},
      {"group before exclusivity", {offer("A", {}), offer("B", {{"exc", true}})}, {"A"}, {{"B", "SVOAP"}}},
  };
  for (const auto& c : cases) {
    Engine e;
    EXPECT_EQ(e.Run(c.offers), c.accepted) << c.name;
    EXPECT_EQ(e.Rejections(), c.reported) << c.name;
    EXPECT_EQ(e.fakes.transport.posts().size(), c.reported.size()) << c.name << ": one report per rejection";
  }
}

TEST(EligibilityChecker, SiedRaisesTheLimitExceptForTheFirstAcceptance) {
  struct Case {
    int maxOffers;
    std::vector<bool> sied;
    Ids accepted;
    int adjustment;
  };
  const Case cases[] = {
      {1, {true, false}, {"O0"}, 0},
      {2, {false, true, false, false}, {"O0", "O1", "O2"}, 1},
      {2, {true, true, true, false, false}, {"O0", "O1", "O2", "O3"}, 2},
  };
  for (const auto& c : cases) {
    Engine e(c.maxOffers);
    std::vector<json> offers;
    for (std::size_t i = 0; i < c.sied.size(); ++i) {
      offers.push_back(OfferSetup::OfferJson("O" + std::to_string(i),
                                             {{"v", i + 1}, {"pn", true}, {"cfs", {{"sied", bool(c.sied[i])}}}}));
    }
    EXPECT_EQ(e.Run(offers), c.accepted) << c.maxOffers;
    EXPECT_EQ(e.config->offerLimitAdjustment, c.adjustment) << c.maxOffers;
    EXPECT_TRUE(e.stopped);
  }
}

TEST(EligibilityChecker, FrequencyRulesWithTheRealEncoding) {
  struct Case {
    const char* name;
    json cfsA, cfsB;
    Ids accepted;
    Reasons reported;
  };
  const std::string a62 = Base62EncodeText("A");
  const std::string b62 = Base62EncodeText("B");
  const Case cases[] = {
      {"mb", json::object(), {{"mb", 0}}, {"A"}, {{"B", "SHOWED 1 PRODUCTS BUT ONLY 0 ALLOWED BEFORE"}}},
      {"ab names A", json::object(), {{"ab", {a62}}}, {"A", "B"}, {}},
      {"ab lacks A", json::object(), {{"ab", {"A"}}}, {"A"}, {{"B", "NOT ALLOWED AFTER A"}}},
      {"ma", {{"ma", 0}}, json::object(), {"A"}, {{"B", "ONLY 0 PRODUCTS ALLOWED TO BE SHOWN AFTER A"}}},
      {"aa names B", {{"aa", {b62}}}, json::object(), {"A", "B"}, {}},
      {"aa lacks B", {{"aa", {a62}}}, json::object(), {"A"}, {{"B", "NOT ALLOWED AFTER A"}}},
  };
  for (const auto& c : cases) {
    Engine e;
    const std::vector<json> offers{OfferSetup::OfferJson("A", {{"v", 1}, {"pn", true}, {"cfs", c.cfsA}}),
                                   OfferSetup::OfferJson("B", {{"v", 2}, {"pn", true}, {"cfs", c.cfsB}})};
    EXPECT_EQ(e.Run(offers), c.accepted) << c.name;
    EXPECT_EQ(e.Rejections(), c.reported) << c.name;
  }
}

TEST(EligibilityChecker, ErrorsInsideAChecksPropagate) {
  struct Case {
    const char* name;
    json ps;
  };
  const Case cases[] = {
      {"uninstall stamp not a number",
       {{"cmdu", {{{"utr", "HKEY_CURRENT_USER"}, {"utk", "Software\\U"}, {"utvn", "At"}, {"utvt", "s"}, {"umd", 1}}}}}},
      {"unknown hive",
       {{"cmdu", {{{"utr", "HKEY_NOWHERE"}, {"utk", "Software\\U"}, {"utvn", "At"}, {"utvt", "s"}, {"umd", 1}}}}}},
  };
  for (const auto& c : cases) {
    Engine e;
    e.fakes.registry.SetTextW(RegRoot::CurrentUser, L"Software\\U", L"At", L"soon");
    const auto offer = e.Build(OfferSetup::OfferJson("A", c.ps));
    bool stop = false;
    EXPECT_THROW(e.checker.Check(offer, stop, e.accepted), std::logic_error) << c.name;
    e.Drain();
    EXPECT_TRUE(e.fakes.transport.posts().empty()) << c.name;
  }
}

TEST(EligibilityChecker, ProbesRunOncePerChecker) {
  Engine e;
  std::vector<json> offers;
  for (int i = 0; i < 6; ++i) {
    offers.push_back(OfferSetup::OfferJson("O" + std::to_string(i), {{"v", i}, {"x", 3}, {"a", {"none.exe"}}}));
  }
  EXPECT_EQ(e.Run(offers).size(), 6u);
  EXPECT_EQ(e.fakes.machine.diskRoots.size(), 1u);
  EXPECT_EQ(e.fakes.machine.memoryProbes, 1);
  EXPECT_EQ(e.fakes.machine.cpuProbes, 1);
  EXPECT_EQ(e.fakes.machine.snapshots, 1);
}

// Chrome, Internet Explorer and a partner's mark cannot change during one pass: asked for the first
// offer only.
TEST(EligibilityChecker, MachineAnswersOfAPassAreAskedOnce) {
  Engine e;
  e.fakes.machine.files.insert(L"C:\\Users\\a\\AppData\\Local\\Chromium\\Application\\chrome.exe");
  e.fakes.registry.SetTextW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer",
                            L"Version", L"11.0");
  const auto offer = [](int i) {
    return OfferSetup::OfferJson("O" + std::to_string(i), {{"v", i}, {"x", 2}, {"pn", true}, {"pnr", "SOFTWARE\\P"}});
  };
  EXPECT_EQ(e.Run({offer(0)}).size(), 1u);
  const int opens = e.fakes.registry.opens();
  const int paths = e.fakes.machine.pathProbes;
  EXPECT_EQ(e.Run({offer(1), offer(2), offer(3)}).size(), 4u);
  EXPECT_EQ(e.fakes.registry.opens(), opens);
  EXPECT_EQ(e.fakes.machine.pathProbes, paths);

  // A mark written for that partner now is seen by the next pass, with a checker of its own.
  e.fakes.registry.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\P", kMarkName, 20260101);
  EXPECT_EQ(e.Run({offer(4)}).size(), 5u);
  Engine next;
  next.fakes.registry.SetDwordW(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\P", kMarkName, 20260101);
  next.fakes.machine.files.insert(L"C:\\Users\\a\\AppData\\Local\\Chromium\\Application\\chrome.exe");
  EXPECT_EQ(next.Run({offer(5)}), Ids{});
  EXPECT_EQ(next.Rejections(), (Reasons{{"O5", "PN NO SHOW"}}));
}

}  // namespace
}  // namespace zelvane
