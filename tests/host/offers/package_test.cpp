#include "offers/package.h"

#include <gtest/gtest.h>

#include "offers/package_fixture.h"
#include "telemetry/encoding.h"

namespace zelvane {
namespace {

using json = nlohmann::json;
using testing::kMachineGuid;
using testing::OfferSetup;

TEST(Package, ReadsEveryFieldOfAnOffer) {
  OfferSetup setup;
  setup.config->countryCode = "US";
  const json offer = json::parse(R"({
    "ad": {"o": "A1", "f": "F1"},
    "ps": {"i": "{of}.png", "dn": "Name {cc}", "u": "https://cdn.test/{userid}.exe", "p": "/S /id={pxl}",
           "cp": "https://p.test/privacy", "ctu": "https://p.test/eula", "v": 7, "exc": true, "c": "ch-{cc}",
           "disk": 100, "ram": 200.9, "cpu": -1, "ov": 61, "pv": "3.{userid}", "win64": true,
           "fe": ["{programdata}\\A\\a.exe", "{PROGRAMDATA}\\b"], "ife": ["{commonpf}\\X"], "a": ["app.exe"],
           "r": ["hklm\\software\\a"], "ir": ["software\\b"], "rvn": ["software\\c\\n"], "rvd": ["software\\d\\n\\1"],
           "cmdu": [{"utr": "HKEY_LOCAL_MACHINE", "utk": "SOFTWARE\\U", "utvn": "When", "utvt": "REG_SZ", "umd": 30,
                     "utms": true}],
           "eapp": ["bad.exe"], "iapp": ["good.exe"], "unknown": [1, 2]}
  })");
  const auto p = setup.Build(offer, 4, "default-channel");

  EXPECT_FALSE(p->isMainProduct);
  EXPECT_EQ(p->offerId, "A1");
  EXPECT_EQ(p->offerFeed, "F1");
  EXPECT_EQ(p->imageName, "F1.png");
  EXPECT_EQ(p->displayName, "Name US");
  EXPECT_EQ(p->downloadUrl, std::string("https://cdn.test/") + kMachineGuid + ".exe");
  EXPECT_EQ(p->installArguments, "/S /id=" + Base62EncodeText(std::string(kMachineGuid) + "|A1|20251210130000"));
  EXPECT_EQ(p->privacyUrl, "https://p.test/privacy");
  EXPECT_EQ(p->licenseUrl, "https://p.test/eula");
  EXPECT_EQ(p->offerGroup, 7);
  EXPECT_TRUE(p->exclusive);
  EXPECT_EQ(p->channel, "ch-US");
  EXPECT_EQ(p->minDiskSpace, 100);
  EXPECT_EQ(p->minRam, 200);
  EXPECT_EQ(p->minCpu, -1);
  EXPECT_EQ(p->osRule, 61);
  EXPECT_EQ(p->platformRule, "3.{userid}") << "not expanded";
  EXPECT_TRUE(p->requires64BitOs);
  EXPECT_EQ(p->position, 4);
  EXPECT_EQ(p->filesAllAbsent, (std::vector<std::wstring>{L"C:\\ProgramData\\A\\a.exe", L"{PROGRAMDATA}\\b"}));
  EXPECT_EQ(p->filesOnePresent, (std::vector<std::wstring>{L"C:\\Program Files\\X"})) << "{commonpf} resolves fully";
  EXPECT_EQ(p->processNames, (std::vector<std::string>{"app.exe"}));
  EXPECT_EQ(p->registryKeysAllAbsent, (std::vector<std::wstring>{L"hklm\\software\\a"}));
  EXPECT_EQ(p->registryKeysOnePresent, (std::vector<std::wstring>{L"software\\b"}));
  EXPECT_EQ(p->registryValueRules, (std::vector<std::wstring>{L"software\\c\\n"}));
  EXPECT_EQ(p->registryDataRules, (std::vector<std::wstring>{L"software\\d\\n\\1"}));
  ASSERT_EQ(p->uninstallRules.size(), 1u);
  const UninstallRule& rule = p->uninstallRules[0];
  EXPECT_EQ(rule.root, L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(rule.key, L"SOFTWARE\\U");
  EXPECT_EQ(rule.valueName, L"When");
  EXPECT_EQ(rule.valueType, L"REG_SZ");
  EXPECT_EQ(rule.minDays, 30);
  EXPECT_TRUE(rule.inMilliseconds);
  EXPECT_EQ(p->excludedApps, (std::vector<std::wstring>{L"bad.exe"}));
  EXPECT_EQ(p->includedApps, (std::vector<std::wstring>{L"good.exe"}));
  EXPECT_FALSE(p->requiresChrome || p->forbidsChrome || p->requiresModernIe);
  EXPECT_EQ(p->macros.at("of"), "F1");
  EXPECT_EQ(p->DownloadUrlW(), L"https://cdn.test/6f1c2a3e-0000-4000-8000-00000000abcd.exe");
  EXPECT_EQ(p->InstallArgumentsW(), std::wstring(p->installArguments.begin(), p->installArguments.end()));
}

TEST(Package, OptionalKeysTakeTheirDefaults) {
  OfferSetup setup;
  const auto p = setup.Build(setup.OfferJson("A"), 0, "from-caller");
  EXPECT_EQ(p->installArguments, "");
  EXPECT_EQ(p->privacyUrl, "");
  EXPECT_EQ(p->licenseUrl, "");
  EXPECT_EQ(p->offerGroup, 0) << "an offer without \"v\" is in group 0";
  EXPECT_EQ(p->channel, "from-caller");
  EXPECT_FALSE(p->exclusive || p->requires64BitOs || p->requiresChrome || p->forbidsChrome || p->requiresModernIe);
  EXPECT_EQ(p->minDiskSpace + p->minRam + p->minCpu + p->osRule, 0);
  EXPECT_TRUE(p->filesAllAbsent.empty() && p->processNames.empty() && p->uninstallRules.empty());
  EXPECT_FALSE(p->partnerSettings.enabled);
  EXPECT_FALSE(p->eventsClosed);
  EXPECT_EQ(p->pendingEvents, 0);
  EXPECT_EQ(p->image, nullptr);
}

TEST(Package, PresetsOfX) {
  struct Case {
    json x;
    std::int64_t disk, ram, cpu;
    bool win64, chrome, noChrome, modernIe;
  };
  // Explicit values that the presets override or keep.
  const json explicitValues{{"disk", 1}, {"ram", 2}, {"cpu", 3}, {"win64", false}};
  const Case cases[] = {
      {1, 2500, 250, 3, false, false, false, false},
      {2, 1, 2, 3, false, true, false, true},
      {3, 512, 1536, 1500, false, false, false, false},
      {4, 1, 2, 3, false, false, false, false},
      {10, 1, 2, 3, true, false, false, false},
      {12, 1, 2, 3, false, true, false, false},
      {13, 1, 2, 3, false, false, true, false},
      {true, 2500, 250, 3, false, false, false, false},  // a boolean is 1
      {3.9, 512, 1536, 1500, false, false, false, false},
  };
  for (const auto& c : cases) {
    OfferSetup setup;
    json ps = explicitValues;
    ps["x"] = c.x;
    const auto p = setup.Offer("A", ps);
    EXPECT_EQ(p->minDiskSpace, c.disk) << c.x;
    EXPECT_EQ(p->minRam, c.ram) << c.x;
    EXPECT_EQ(p->minCpu, c.cpu) << c.x;
    EXPECT_EQ(p->requires64BitOs, c.win64) << c.x;
    EXPECT_EQ(p->requiresChrome, c.chrome) << c.x;
    EXPECT_EQ(p->forbidsChrome, c.noChrome) << c.x;
    EXPECT_EQ(p->requiresModernIe, c.modernIe) << c.x;
  }
}

TEST(Package, NumbersAcceptBooleansOnlyWhereTheFormatSays) {
  OfferSetup setup;
  const auto p = setup.Offer("A", {{"v", true}, {"ov", false}, {"disk", 5.99}, {"ram", -2.5},
                                   {"cmdu", {{{"utr", "r"}, {"utk", "k"}, {"utvn", "n"}, {"utvt", "t"}, {"umd", true}}}}});
  EXPECT_EQ(p->offerGroup, 1);
  EXPECT_EQ(p->osRule, 0);
  EXPECT_EQ(p->minDiskSpace, 5);
  EXPECT_EQ(p->minRam, -2);
  EXPECT_EQ(p->uninstallRules.at(0).minDays, 1);
  EXPECT_FALSE(p->uninstallRules.at(0).inMilliseconds) << "absent \"utms\"";

  for (const char* key : {"disk", "ram", "cpu"}) {
    try {
      setup.Offer("B", {{key, true}});
      ADD_FAILURE() << key;
    } catch (const json::type_error& e) {
      EXPECT_EQ(e.id, 302) << key;
      EXPECT_NE(std::string(e.what()).find("type must be number, but is boolean"), std::string::npos) << e.what();
    }
  }
}

TEST(Package, MalformedOffersThrowTheLibrarysErrors) {
  struct Case {
    const char* offer;
    int id;  // 403 out_of_range, 304 and 302 type_error
    const char* text;
  };
  const Case cases[] = {
      {R"({"ps": {"i": "a", "dn": "b", "u": "c"}})", 403, "key 'ad' not found"},
      {R"({"ad": {"o": "A"}, "ps": {"i": "a", "dn": "b", "u": "c"}})", 403, "key 'f' not found"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"dn": "b", "u": "c"}})", 403, "key 'i' not found"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "u": "c"}})", 403, "key 'dn' not found"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b"}})", 403, "key 'u' not found"},
      {R"({"ad": {"o": "A", "f": "F"}})", 403, "key 'ps' not found"},
      {R"({"ad": "x", "ps": {}})", 304, "cannot use at() with string"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": []})", 304, "cannot use at() with array"},
      {R"([1])", 304, "cannot use at() with array"},
      {R"({"ad": {"o": 1, "f": "F"}, "ps": {}})", 302, "type must be string, but is number"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": null, "u": "c"}})", 302, "type must be string, but is null"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "p": 1}})", 302, "type must be string"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "exc": 1}})", 302,
       "type must be boolean, but is number"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "v": "1"}})", 302,
       "type must be number, but is string"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "x": null}})", 302,
       "type must be number, but is null"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "fe": [1]}})", 302,
       "type must be string, but is number"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "cmdu": [{"utr": "r", "utk": "k",
          "utvn": "n", "utvt": "t", "umd": 1, "utms": 1}]}})", 302, "type must be boolean, but is number"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "cmdu": [{"utr": "r", "utk": "k",
          "utvn": "n", "utvt": "t"}]}})", 403, "key 'umd' not found"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "cmdu": ["x"]}})", 304,
       "cannot use at() with string"},
      {R"({"ad": {"o": "A", "f": "F"}, "ps": {"i": "a", "dn": "b", "u": "c", "pn": true, "cfs": {"ab": "x"}}})", 302,
       "type must be array, but is string"},
  };
  for (const auto& c : cases) {
    OfferSetup setup;
    try {
      setup.Build(json::parse(c.offer));
      ADD_FAILURE() << "no exception: " << c.offer;
    } catch (const json::exception& e) {
      EXPECT_EQ(e.id, c.id) << c.offer;
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
    }
  }
}

TEST(Package, ListKeysAreWalkedElementByElement) {
  struct Case {
    json value;
    std::vector<std::wstring> keys;
  };
  const Case cases[] = {
      {json::array({"b", "a"}), {L"b", L"a"}},
      {json{{"z", "first"}, {"a", "second"}}, {L"second", L"first"}},  // member values in key order
      {nullptr, {}},
      {"single", {L"single"}},
  };
  for (const auto& c : cases) {
    OfferSetup setup;
    const auto p = setup.Offer("A", {{"r", c.value}, {"a", c.value}});
    EXPECT_EQ(p->registryKeysAllAbsent, c.keys) << c.value;
    EXPECT_EQ(p->processNames.size(), c.keys.size()) << c.value;
  }
}

TEST(Package, TextThatIsNotUtf8FailsTheConversion) {
  OfferSetup setup;
  try {
    setup.Offer("A", {{"r", {setup.fakes.text.refusedNarrow}}});
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("MultiByteToWideChar() failed: ", 0), 0u) << e.what();
  }
}

TEST(Package, MacroStepsRunInTheirOrder) {
  OfferSetup setup;
  // "i", "dn" and "u" are expanded before the partner macros exist; "p" after.
  const json ps{{"i", "{pnapikey}.png"}, {"dn", "{pnapikey}"}, {"u", "{of}"}, {"p", "k={pnapikey}&of={of}"},
                {"pn", true}, {"pnak", "KEY"}, {"ctu", "{pxl}"}};
  const auto p = setup.Offer("A", ps);
  EXPECT_EQ(p->imageName, "{pnapikey}.png");
  EXPECT_EQ(p->displayName, "{pnapikey}");
  EXPECT_EQ(p->downloadUrl, "feed-A");
  EXPECT_EQ(p->installArguments, "k=KEY&of=feed-A");
  EXPECT_EQ(p->licenseUrl, Base62EncodeText(std::string(kMachineGuid) + "|A|20251210130000"));
  EXPECT_EQ(p->ExpandMacros("{pnapikey}"), "KEY");
}

TEST(Package, AnExistingMacroKeepsItsValue) {
  // "pxl" and "of" never replace a first-set entry; the tracking set has neither, so both are added.
  OfferSetup setup;
  const auto p = setup.Offer("A");
  EXPECT_EQ(p->macros.at("userid"), kMachineGuid);
  EXPECT_EQ(p->macros.at("sessionid"), "20251210130000");
  EXPECT_EQ(p->macros.at("of"), "feed-A");
  EXPECT_FALSE(p->macros.at("pxl").empty());
}

TEST(Package, EventRecordOfAnOffer) {
  OfferSetup setup;
  const auto p = setup.Build(setup.OfferJson("C", {{"c", "chan"}}), 2);
  json expected = setup.Base().record;
  expected["5"] = "C";
  expected["10"] = 2;
  expected["16"] = "chan";
  expected["17"] = "3";
  expected["18"] = "feed-C";
  EXPECT_EQ(p->eventRecord, expected);
}

TEST(Package, MainProductAndItsReinitialisation) {
  OfferSetup setup;
  auto p = std::make_shared<Package>(setup.Base(), true, L"prod-\u00e9", L"cfl", L"Zelvane Web", L"ch1", 0, setup.config);
  EXPECT_TRUE(p->isMainProduct);
  EXPECT_EQ(p->offerId, "prod-\xE9") << "the thread's ANSI code page";
  EXPECT_EQ(setup.fakes.text.NarrowedWith(L"prod-\u00e9"), CodePage::ThreadAnsi);
  EXPECT_EQ(p->offerFeed, "cfl");
  EXPECT_EQ(p->displayName, "Zelvane Web");
  EXPECT_EQ(p->channel, "ch1");
  EXPECT_TRUE(p->macros.empty());
  EXPECT_EQ(p->offerGroup, 0);

  json expected = setup.Base().record;
  expected["5"] = expected["22"];
  expected["10"] = 1;
  expected["18"] = "";
  EXPECT_EQ(p->eventRecord, expected);
  EXPECT_EQ(p->eventRecord["5"], "Zelvane Web");
  EXPECT_EQ(p->eventRecord["16"], "") << "the main product sends no channel";

  // An offer made the main product: new base, texts, position 0 and a main-product record.
  auto offer = setup.Build(setup.OfferJson("X"), 3);
  setup.config->productTitle = L"Other Title";
  const RequestBase base = setup.Base();
  offer->MakeMainProduct(base, L"id2", L"feed2", L"Name2", L"ch2");
  EXPECT_TRUE(offer->isMainProduct);
  EXPECT_EQ(offer->position, 0);
  EXPECT_EQ(offer->offerId, "id2");
  EXPECT_EQ(offer->channel, "ch2");
  EXPECT_EQ(offer->eventRecord["5"], "Other Title");
  EXPECT_EQ(offer->eventRecord["10"], 1);
  EXPECT_EQ(offer->eventRecord["17"], "");
  EXPECT_EQ(offer->requestBase.headers, base.headers);
}

}  // namespace
}  // namespace zelvane
