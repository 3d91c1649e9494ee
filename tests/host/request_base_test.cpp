#include "telemetry/request_base.h"

#include <gtest/gtest.h>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"
#include "telemetry/text_digest.h"
#include "telemetry/transport_policy.h"

namespace zelvane {
namespace {

using testing::FakePlatform;
using testing::TestProfile;

constexpr char kGuid[] = "6f1c2a3e-0000-4000-8000-00000000abcd";

void SetMachineGuid(FakePlatform& fakes, const std::string& guid) {
  fakes.registry.SetString(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Cryptography", "MachineGuid", guid);
}

TEST(Digests, HexTextOfKnownVectors) {
  FakePlatform fakes;
  struct Case {
    std::string data, sha256;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string("a\0b", 3), "59b271ae1bbcb1d31d41929817f4b16fb439eb4f31520b5ad1d5ce98920a7138"},
  };
  for (const auto& c : cases) EXPECT_EQ(Sha256Hex(fakes.digests, c.data), c.sha256) << c.data.size();

  EXPECT_EQ(Md5Hex(fakes.platform, L""), "d41d8cd98f00b204e9800998ecf8427e") << "MD5 of zero bytes, not \"\"";
  EXPECT_EQ(Md5Hex(fakes.platform, L"abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(fakes.text.NarrowedWith(L"abc"), CodePage::ThreadAnsi);
  // One byte 0xE9 in the ANSI code page, not the two bytes of UTF-8.
  EXPECT_EQ(Md5Hex(fakes.platform, L"\u00e9"), "3406877694691ddd1dfb0aca54681407");
}

TEST(Digests, FailuresGiveEmptyMd5AndAnErrorForSha256) {
  FakePlatform fakes;
  EXPECT_EQ(Md5Hex(fakes.platform, fakes.text.refusedWide), "") << "a refused conversion";
  fakes.digests.fail = true;
  EXPECT_EQ(Md5Hex(fakes.platform, L"abc"), "");
  EXPECT_THROW(Sha256Hex(fakes.digests, "abc"), std::runtime_error);
}

TEST(Utf8ToWide, EmptyStaysEmptyAndARefusalThrows) {
  FakePlatform fakes;
  EXPECT_EQ(Utf8ToWide(fakes.text, ""), L"");
  EXPECT_EQ(Utf8ToWide(fakes.text, "Zelvane \xC3\xA9"), L"Zelvane \u00e9");
  try {
    Utf8ToWide(fakes.text, fakes.text.refusedNarrow);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("MultiByteToWideChar() failed: ", 0), 0u) << error.what();
  }
}

TEST(OsVersionText, JoinsMajorMinorAndBuild) {
  FakePlatform fakes;
  EXPECT_EQ(OsVersionText(fakes.machine), "10.0.19045");
  fakes.machine.osVersion = OsVersion{6, 1, 7601};
  EXPECT_EQ(OsVersionText(fakes.machine), "6.1.7601");
  fakes.machine.osVersion.reset();
  EXPECT_EQ(OsVersionText(fakes.machine), "");
}

TEST(RequestBase, RecordHoldsEveryKeyWithItsType) {
  FakePlatform fakes;
  SetMachineGuid(fakes, kGuid);
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  config.cflValue = L"cfl-1";
  config.chValue = L"ch-1";

  const RequestBase base(config);
  const auto& record = base.record;
  ASSERT_TRUE(record.is_object());
  for (int key = 0; key <= 22; ++key) {
    const std::string name = std::to_string(key);
    ASSERT_TRUE(record.contains(name)) << name;
    if (key == 15) {
      EXPECT_TRUE(record[name].is_number_integer());
      EXPECT_EQ(record[name], 0);
    } else {
      EXPECT_TRUE(record[name].is_string()) << name;
    }
  }
  EXPECT_EQ(record.size(), 25u) << record.dump();
  const std::pair<const char*, std::string> expected[] = {
      {"0", ""},        {"1", kGuid},          {"2", "20251210130000"}, {"3", "Ostrel"},   {"4", "Zelvane_Web"},
      {"5", ""},        {"7", "3.2.0.6031"},   {"13", ""},              {"19", "cfl-1"},   {"21", "ch-1"},
      {"22", "Zelvane Web"}, {"31", "10.0.19045"}, {"38", "1"},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(record[key], value) << key;
}

TEST(RequestBase, ConvertsEachValueWithItsCodePage) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  config.publisher = L"Publisher\u00e9";
  config.productId = L"Product";
  config.programVersion = L"1.2.3.4";
  config.cflValue = L"Cfl";
  config.chValue = L"Ch";
  config.productTitle = L"Title\u00e9";
  const RequestBase base(config);

  const std::pair<std::wstring, CodePage> expected[] = {
      {L"Publisher\u00e9", CodePage::FileSystem}, {L"Product", CodePage::FileSystem},
      {L"1.2.3.4", CodePage::FileSystem},         {L"Cfl", CodePage::FileSystem},
      {L"Ch", CodePage::ThreadAnsi},              {L"Title\u00e9", CodePage::ThreadAnsi},
  };
  for (const auto& [text, page] : expected) EXPECT_EQ(fakes.text.NarrowedWith(text), page);
  EXPECT_EQ(base.record["3"].get<std::string>(), "Publisher\xE9");
}

TEST(RequestBase, OsVersionAndWow64FollowTheMachine) {
  struct Case {
    std::optional<OsVersion> version;
    bool wow64;
    std::string os, bitness;
  };
  const Case cases[] = {
      {OsVersion{10, 0, 22631}, true, "10.0.22631", "1"},
      {OsVersion{6, 1, 7601}, false, "6.1.7601", "0"},
      {std::nullopt, true, "", "1"},
  };
  for (const auto& c : cases) {
    FakePlatform fakes;
    fakes.machine.osVersion = c.version;
    fakes.machine.wow64 = c.wow64;
    ConfigurationManager config(TestProfile("ISV"), fakes.platform);
    const RequestBase base(config);
    EXPECT_EQ(base.record["31"], c.os);
    EXPECT_EQ(base.record["38"], c.bitness);
  }
}

TEST(RequestBase, SignsUserIdFollowedByTheSessionTimestamp) {
  FakePlatform fakes;
  SetMachineGuid(fakes, kGuid);
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);

  const RequestBase first(config);
  fakes.machine.unixSeconds += 3600;  // the timestamp of the run stays fixed
  const RequestBase second(config);

  ASSERT_EQ(first.headers.size(), 1u);
  EXPECT_EQ(first.headers[0].first, L"Authorization");
  const std::string digest = Sha256Hex(fakes.digests, std::string(kGuid) + "20251210130000");
  EXPECT_EQ(first.headers[0].second, L"Signature=" + std::wstring(digest.begin(), digest.end()));
  EXPECT_EQ(first.headers[0].second.size(), 10u + 64u);
  EXPECT_EQ(second.headers, first.headers);
  EXPECT_EQ(second.record["1"], first.record["1"]);
  EXPECT_EQ(second.record["2"], first.record["2"]);
}

TEST(RequestBase, SignatureOfTheParts) {
  FakePlatform fakes;
  const auto value = [&](const std::string& user, const std::string& time) {
    return SignatureHeaderValue(fakes.platform, user, time);
  };
  const std::string userOnly = Sha256Hex(fakes.digests, "user-1");
  EXPECT_EQ(value("user-1", ""), L"Signature=" + std::wstring(userOnly.begin(), userOnly.end()));
  EXPECT_NE(value("user-1", "20250101000000"), value("20250101000000", "user-1"));
  EXPECT_NE(value("user-1", "20250101000000"), value("user-1", "20250101000001"));
}

TEST(RequestBase, CopiesAreIndependent) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  const RequestBase original(config);
  RequestBase copy = original;
  copy.record["5"] = "changed";
  copy.headers.emplace_back(L"X", L"Y");
  EXPECT_EQ(original.record["5"], "");
  EXPECT_EQ(original.headers.size(), 1u);
}

TEST(TransportSettings, WindowsVersionDecidesRefusalAndProxy) {
  struct Case {
    std::optional<OsVersion> version;
    std::uint16_t servicePack;
    bool refused;
    std::uint32_t accessType;
  };
  const Case cases[] = {
      {OsVersion{6, 0, 6002}, 2, false, winhttp::kAccessAutomaticProxy},  // Vista
      {OsVersion{6, 1, 7600}, 0, true, winhttp::kAccessDefaultProxy},     // Windows 7 without SP1
      {OsVersion{6, 1, 7601}, 1, false, winhttp::kAccessDefaultProxy},    // Windows 7 SP1
      {OsVersion{6, 2, 9200}, 0, false, winhttp::kAccessAutomaticProxy},
      {OsVersion{6, 3, 9600}, 0, false, winhttp::kAccessAutomaticProxy},
      {OsVersion{10, 0, 19045}, 0, false, winhttp::kAccessAutomaticProxy},
  };
  for (const auto& c : cases) {
    FakePlatform fakes;
    fakes.machine.osVersion = c.version;
    fakes.machine.servicePack = c.servicePack;
    const TransportSettings settings = ChooseTransportSettings(fakes.machine);
    EXPECT_EQ(settings.refused, c.refused) << c.version->minor;
    EXPECT_EQ(settings.accessType, c.accessType) << c.version->minor;
  }
}

}  // namespace
}  // namespace zelvane
