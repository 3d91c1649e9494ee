#include "telemetry/tracking_macros.h"

#include <gtest/gtest.h>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"
#include "telemetry/text_digest.h"

namespace zelvane {
namespace {

using testing::FakePlatform;
using testing::TestProfile;
using json = nlohmann::json;

constexpr char kGuid[] = "6f1c2a3e-0000-4000-8000-00000000abcd";

struct Offer {
  FakePlatform fakes;
  ConfigurationManager config{TestProfile("ISV"), fakes.platform};
  MacroTable macros;
  PartnerSettings settings;

  Offer() {
    fakes.registry.SetString(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Cryptography", "MachineGuid", kGuid);
  }
  void Read(const std::string& ps) { ReadPartnerSettings(json::parse(ps), settings, macros, config); }
};

TEST(TrackingMacros, FirstSetTakesOnlyValuesThatAreSet) {
  Offer offer;
  offer.config.countryCode = "AU";
  offer.config.pubId = "pub-1";
  AddTrackingMacros(offer.macros, offer.config);
  EXPECT_EQ(offer.macros, (MacroTable{{"userid", kGuid},
                                      {"sessionid", "20251210130000"},
                                      {"cc", "AU"},
                                      {"pubid", "pub-1"},
                                      {"aflt", "91214"}}));

  FakePlatform bare;  // no MachineGuid, no country
  ConfigurationManager config(TestProfile("ISV"), bare.platform);
  MacroTable macros;
  AddTrackingMacros(macros, config);
  EXPECT_EQ(macros, (MacroTable{{"sessionid", "20251210130000"}, {"aflt", "91082"}}));
}

TEST(TrackingMacros, AnExistingEntryKeepsItsFirstValue) {
  Offer offer;
  offer.config.ispb = "pb";
  AddMacro(offer.macros, "userid", "first");
  AddMacro(offer.macros, "aflt", "mine");
  AddTrackingMacros(offer.macros, offer.config);
  EXPECT_EQ(offer.macros["userid"], "first");
  EXPECT_EQ(offer.macros["aflt"], "mine");
  EXPECT_EQ(offer.macros["ispb"], "pb");
}

TEST(ExpandMacros, ReplacesEveryReferenceExactly) {
  const MacroTable macros{{"userid", "U1"}, {"cc", "US"}, {"empty", ""}};
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"https://o.test/?u={userid}&c={cc}&u2={userid}", "https://o.test/?u=U1&c=US&u2=U1"},
      {"{USERID}{ userid}{userid", "{USERID}{ userid}{userid"},
      {"a{empty}b{empty}{empty}c", "abc"},
      {"{unknown}", "{unknown}"},
      {"{{userid}}", "{U1}"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandMacros(macros, c.in), c.out) << c.in;
}

TEST(ExpandMacros, ASelfReferenceIsInsertedOnce) {
  const MacroTable macros{{"loop", "x{loop}y"}};
  EXPECT_EQ(ExpandMacros(macros, "{loop}-{loop}"), "x{loop}y-x{loop}y");
}

TEST(PartnerSettings, PartnerModeOffLeavesEverythingAtItsDefaults) {
  const char* answers[] = {
      R"({})",
      R"({"pnau":"https://api.test","cfs":{"mb":1,"mo":1}})",
      R"({"pn":false,"pnau":"https://api.test","pnr":"SOFTWARE\\P","cfs":{"mb":1,"ma":2,"mo":3,"saad":true}})",
  };
  for (const char* ps : answers) {
    Offer offer;
    offer.Read(ps);
    const PartnerSettings& s = offer.settings;
    EXPECT_FALSE(s.enabled) << ps;
    EXPECT_EQ(s.apiUrl, "");
    EXPECT_EQ(s.registryKey, "");
    EXPECT_EQ(s.mb, 2147483647);
    EXPECT_EQ(s.ma, 2147483647);
    EXPECT_EQ(s.mo, 2147483647);
    EXPECT_FALSE(s.saad);
    EXPECT_TRUE(offer.macros.empty());
  }
  Offer notAnObject;
  notAnObject.Read(R"([{"pn":true}])");
  EXPECT_FALSE(notAnObject.settings.enabled);
  EXPECT_TRUE(notAnObject.macros.empty());
}

TEST(PartnerSettings, PartnerModeOnReadsTheSettingsAndAddsTheSecondSet) {
  Offer offer;
  offer.config.publisher = L"Ostrel\u00e9";
  offer.Read(R"({"pn":true,"pnau":"https://api.test","pnak":"key-1","pnr":"SOFTWARE\\Partner","pnop":"op-1",
                 "pnsi":true,"la":"es","sp":"/id={userid}",
                 "cfs":{"mb":3,"ab":["a","b"],"ma":4.7,"aa":[],"mo":-1,"saad":true,"sied":true}})");
  const PartnerSettings& s = offer.settings;
  EXPECT_TRUE(s.enabled);
  EXPECT_EQ(s.apiUrl, "https://api.test");
  EXPECT_EQ(s.apiKey, "key-1");
  EXPECT_EQ(s.registryKey, "SOFTWARE\\Partner");
  EXPECT_EQ(s.op, "op-1");
  EXPECT_TRUE(s.si);
  EXPECT_EQ(s.la, "es");
  EXPECT_EQ(s.stubParams, "/id={userid}") << "the first set is not in this table";
  EXPECT_EQ(s.mb, 3);
  EXPECT_EQ(s.ab, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(s.ma, 4);
  EXPECT_TRUE(s.aa.empty());
  EXPECT_EQ(s.mo, -1);
  EXPECT_TRUE(s.saad);
  EXPECT_TRUE(s.sied);

  EXPECT_EQ(offer.macros, (MacroTable{{"pnstubparams", "/id={userid}"},
                                      {"pnapiurl", "https://api.test"},
                                      {"pnapikey", "key-1"},
                                      {"pnop", "op-1"},
                                      {"account", "Ostrel\xC3\xA9"},
                                      {"installer", "Zelvane_Web"},
                                      {"pnsid", "1765368000123"}}))
      << "no pnrparam without pnrp";
}

TEST(PartnerSettings, AbsentKeysInPartnerModeKeepTheirDefaults) {
  Offer offer;
  offer.Read(R"({"pn":true,"cfs":"not an object"})");
  EXPECT_TRUE(offer.settings.enabled);
  EXPECT_EQ(offer.settings.apiUrl, "");
  EXPECT_FALSE(offer.settings.si);
  EXPECT_EQ(offer.settings.mo, 2147483647);
  EXPECT_EQ(offer.macros.at("pnapiurl"), "");
  EXPECT_EQ(offer.macros.at("pnstubparams"), "");
}

TEST(PartnerSettings, WrongTypesFailConstruction) {
  const char* answers[] = {
      R"({"pn":1})",
      R"({"pn":"true"})",
      R"({"pn":true,"pnau":5})",
      R"({"pn":true,"pnsi":"yes"})",
      R"({"pn":true,"sp":["x"]})",
      R"({"pn":true,"pnrp":{"default":7}})",
      R"({"pn":true,"pnrp":{"default":7,"10.0":"ten"}})",
      R"({"pn":true,"pnrp":{"10.0":1}})",
      R"({"pn":true,"cfs":{"mb":"3"}})",
      R"({"pn":true,"cfs":{"mo":true}})",
      R"({"pn":true,"cfs":{"ab":"a"}})",
      R"({"pn":true,"cfs":{"aa":[1]}})",
      R"({"pn":true,"cfs":{"saad":1}})",
  };
  for (const char* ps : answers) {
    Offer offer;
    try {
      offer.Read(ps);
      ADD_FAILURE() << "accepted " << ps;
    } catch (const json::type_error& error) {
      EXPECT_EQ(error.id, 302) << ps << ": " << error.what();
    }
  }
}

TEST(PartnerSettings, PartnerParameterByWindowsVersion) {
  const std::string both = R"({"pn":true,"pnrp":{"default":"d","10.0":"ten","6.1":"seven"}})";
  struct Case {
    std::string ps;
    std::optional<OsVersion> version;
    std::string expected;
  };
  const Case cases[] = {
      {both, OsVersion{10, 0, 19045}, "ten"},
      {both, OsVersion{10, 0, 22631}, "ten"},  // Windows 11 reports 10.0 as well
      {both, OsVersion{6, 3, 9600}, "d"},
      {both, OsVersion{6, 1, 7601}, "seven"},
      {both, std::nullopt, "d"},
      {R"({"pn":true,"pnrp":{"10.0":"ten"}})", OsVersion{6, 3, 9600}, ""},
      {R"({"pn":true,"pnrp":"flat"})", OsVersion{10, 0, 1}, ""},
  };
  for (const auto& c : cases) {
    Offer offer;
    offer.fakes.machine.osVersion = c.version;
    offer.Read(c.ps);
    EXPECT_EQ(offer.macros.at("pnrparam"), c.expected) << c.ps;
  }
}

TEST(PartnerSettings, StubParametersSeeOnlyTheMacrosAddedBeforeThem) {
  Offer offer;
  AddTrackingMacros(offer.macros, offer.config);
  AddMacro(offer.macros, "of", "offer-9");
  offer.Read(R"({"pn":true,"pnrp":{"default":"r1"},"pnop":"op-2",
                 "sp":"/u={userid} /o={of} /r={pnrparam} /t={pnsid} /p={pnop}"})");
  EXPECT_EQ(offer.settings.stubParams, std::string("/u=") + kGuid + " /o=offer-9 /r=r1 /t={pnsid} /p={pnop}");
  EXPECT_EQ(offer.macros.at("pnstubparams"), offer.settings.stubParams);
  EXPECT_EQ(ExpandMacros(offer.macros, "{pnsid}"), "1765368000123") << "now in the table";
}

TEST(NoShowMark, DateIsTheLocalDay180DaysAhead) {
  FakePlatform fakes;
  struct Case {
    std::int64_t unix100ns;
    int utcOffset;
    int expected;
  };
  const Case cases[] = {
      {17653680000000000, 3600, 20260608},  // 2025-12-10 12:00 UTC
      {17653247990000000, 0, 20260607},     // 2025-12-09 23:59:59 UTC
      {17653247990000000, 7200, 20260608},  // local time is past midnight
      {17040672000000000, -3600, 20240628},  // 2024-01-01 00:00 UTC, a leap year ahead
  };
  for (const auto& c : cases) {
    fakes.machine.unix100ns = c.unix100ns;
    fakes.machine.utcOffsetSeconds = c.utcOffset;
    EXPECT_EQ(NoShowUntilDate(fakes.machine), c.expected) << c.unix100ns;
  }
  fakes.machine.localTimeFails = true;
  EXPECT_THROW(NoShowUntilDate(fakes.machine), std::invalid_argument);
}

TEST(NoShowMark, WritesTheDateUnderTheKeyInThe32BitView) {
  Offer offer;
  offer.settings.registryKey = "SOFTWARE\\Partner\\Offers";
  ASSERT_TRUE(WriteNoShowMark(offer.settings, offer.config));

  const std::string name = Md5Hex(offer.fakes.platform, L"Ostrel");
  ASSERT_EQ(name.size(), 32u);
  const auto value = offer.fakes.registry.Get(RegRoot::LocalMachine, L"SOFTWARE\\Wow6432Node\\Partner\\Offers", name);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, reg::kDword);
  const int date = 20260608;
  EXPECT_EQ(value->data, (std::vector<std::uint8_t>{static_cast<std::uint8_t>(date), static_cast<std::uint8_t>(date >> 8),
                                                    static_cast<std::uint8_t>(date >> 16),
                                                    static_cast<std::uint8_t>(date >> 24)}));
  EXPECT_FALSE(offer.fakes.registry.HasKey(RegRoot::LocalMachine, L"SOFTWARE\\Partner\\Offers"));
  EXPECT_EQ(offer.fakes.registry.openKeys(), 0);
}

TEST(NoShowMark, WritesNothingWithoutAKeyOrRights) {
  Offer noKey;
  EXPECT_FALSE(WriteNoShowMark(noKey.settings, noKey.config));

  Offer denied;
  denied.settings.registryKey = "SOFTWARE\\Partner";
  denied.fakes.registry.createKeyError = reg::kAccessDenied;
  EXPECT_FALSE(WriteNoShowMark(denied.settings, denied.config));

  Offer noClock;
  noClock.settings.registryKey = "SOFTWARE\\Partner";
  noClock.fakes.machine.localTimeFails = true;
  EXPECT_FALSE(WriteNoShowMark(noClock.settings, noClock.config));
  EXPECT_EQ(noClock.fakes.registry.openKeys(), 0);
}

}  // namespace
}  // namespace zelvane
