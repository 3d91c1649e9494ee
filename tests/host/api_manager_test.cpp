#include "app/api_manager.h"

#include <gtest/gtest.h>

#include "app/configuration_answer.h"
#include "app/configuration_manager.h"
#include "app/orvane_exception.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

using testing::FakePlatform;
using testing::RecordingTransport;
using testing::TestProfile;
using Answer = RecordingTransport::Answer;
using json = nlohmann::json;

TEST(ConfigurationRequest, BodyIsCompactWithSortedKeys) {
  FakePlatform fakes;
  fakes.machine.moduleFileName = L"C:\\Downloads\\ZelvaneWebSetup_ab1-c2d.exe";
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  config.languageCode = L"ES-mx";

  EXPECT_EQ(ConfigurationRequestBody(config),
            R"({"a":"Ostrel","i":"Zelvane_Web","l":"es","o":"10.0.19045","plv":"3.2.0.6031","prv":"0.1",)"
            R"("s":"Zelvane_Web_CPP","u":"ab1-c2d"})");
  EXPECT_EQ(fakes.text.NarrowedWith(L"ab1-c2d"), CodePage::SystemAnsi);
  for (const wchar_t* value : {L"Ostrel", L"Zelvane_Web", L"es", L"3.2.0.6031", L"Zelvane_Web_CPP"}) {
    EXPECT_EQ(fakes.text.NarrowedWith(value), CodePage::ThreadAnsi) << value;
  }
}

TEST(ConfigurationRequest, BodyCarriesEmptyValuesBeforeTheyAreKnown) {
  FakePlatform fakes;
  fakes.machine.osVersion.reset();
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);  // no code in the file name, no language yet
  const json body = json::parse(ConfigurationRequestBody(config));
  EXPECT_EQ(body["u"], "");
  EXPECT_EQ(body["l"], "");
  EXPECT_EQ(body["o"], "");
  EXPECT_EQ(body.size(), 8u);
}

TEST(ConfigurationRequest, AttemptsPausesAndTheAnswerUsed) {
  const std::string small = R"({"l":"US"})";
  struct Case {
    const char* name;
    std::vector<Answer> script;
    std::size_t posts;
    std::size_t pauses;
    bool throws;
    std::string countryCode;  // of the answer that was parsed
  };
  const Case cases[] = {
      {"first answer", {{200, small}}, 1, 0, false, "US"},
      {"redirect status counts as success", {{399, R"({"l":"CA"})"}}, 1, 0, false, "CA"},
      {"503, 503, 200", {{503, R"({"l":"XX"})"}, {503, ""}, {200, R"({"l":"BR"})"}}, 3, 2, false, "BR"},
      {"500 three times: the last answer is still used", {{500, "{}"}, {500, "{}"}, {500, R"({"l":"AU"})"}}, 3, 3,
       false, "AU"},
      {"199 fails", {{199, "{}"}, {400, "{}"}, {200, R"({"l":"NZ"})"}}, 3, 2, false, "NZ"},
      {"failing POST ends at once", {{500, "{}"}, {0, "", true}, {200, small}}, 2, 1, true, ""},
      {"three failures with empty text", {{500, ""}, {500, ""}, {502, " \r\n"}}, 3, 3, true, ""},
      {"not JSON", {{200, "<html>"}}, 1, 0, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fakes;
    ConfigurationManager config(TestProfile("ISV"), fakes.platform);
    fakes.transport.Script(c.script);
    ApiManager api(config);
    if (c.throws) {
      EXPECT_ANY_THROW(api.RequestConfiguration());
    } else {
      const json doc = api.RequestConfiguration();
      EXPECT_EQ(doc.value("l", ""), c.countryCode);
    }
    const auto posts = fakes.transport.posts();
    EXPECT_EQ(posts.size(), c.posts);
    EXPECT_EQ(fakes.machine.sleeps, std::vector<std::uint32_t>(c.pauses, 5000u));
    for (const auto& post : posts) {
      EXPECT_EQ(post.url, L"https://content.test/o");
      EXPECT_EQ(post.body, ConfigurationRequestBody(config));
      EXPECT_TRUE(post.headers.empty());
    }
  }
}

TEST(ConfigurationRequest, ErrorKinds) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  ApiManager api(config);

  fakes.transport.Script({{200, "  \n\t "}});
  EXPECT_THROW(api.RequestConfiguration(), OrvaneException) << "empty after whitespace removal";
  fakes.transport.Script({{200, R"({"a":1,})"}});
  EXPECT_THROW(api.RequestConfiguration(), json::parse_error);
  fakes.transport.Script({{200, R"({"a":1 /* no comments */})"}});
  EXPECT_THROW(api.RequestConfiguration(), json::parse_error);

  const auto before = fakes.transport.posts().size();
  config.configurationUrl.clear();
  EXPECT_THROW(api.RequestConfiguration(), OrvaneException);
  EXPECT_EQ(fakes.transport.posts().size(), before) << "nothing is posted without a URL";
}

TEST(ConfigurationAnswerText, WhitespaceGoesOutsideStringsOnly) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"{ \"a\" :\t[ 1 ,\r\n 2 ]\v\f}", R"({"a":[1,2]})"},
      {R"({"ct": "Zelvane Web"})", R"({"ct":"Zelvane Web"})"},
      {R"({"p": " /S /D=x "})", R"({"p":" /S /D=x "})"},
      {"{\"ct\": \"Zelvane\nWeb\"}", R"({"ct":"ZelvaneWeb"})"},                       // raw line break inside a string
      {"{\"t\": \"a\tb\rc\vd\fe\"}", R"({"t":"abcde"})"},                              // raw control bytes go
      {R"({"q": "say \"hi there\" ", "r" : 1})", R"({"q":"say \"hi there\" ","r":1})"},  // escaped quotes
      {R"({"b": "ends in \\", "c" : "x y"})", R"({"b":"ends in \\","c":"x y"})"},       // escaped backslash
      {R"({"n": "\\\" still inside "})", R"({"n":"\\\" still inside "})"},
      {" \r\n\t", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RemoveAnswerWhitespace(c.in), c.out) << c.in;
}

TEST(ConfigurationRequest, PrettyPrintedAnswerKeepsBlanksInsideStrings) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("DLM"), fakes.platform);
  fakes.transport.Script({{200,
                           "{\n  \"i\": {\n    \"ct\": \"Zelvane Web\",\n    \"cu\": \"https://d.test/a b\"\n  },\n"
                           "  \"l\": \"US\"\n}\n"}});
  const json doc = ApiManager(config).RequestConfiguration();
  const ConfigurationAnswer answer = ApplyConfigurationAnswer(doc, config);
  EXPECT_TRUE(answer.productUsable);
  EXPECT_EQ(config.productTitle, L"Zelvane Web");
  EXPECT_EQ(config.primaryFileName, L"Zelvane Web.exe");
  EXPECT_EQ(config.primaryDownloadUrl, L"https://d.test/a b");
}

struct ApplyCase {
  const char* name;
  const char* wizard;
  const char* answer;
  bool throws;
  bool productUsable;
  bool evaluateOffers;
  std::size_t offers;
};

TEST(ConfigurationAnswer, OffersAndFailures) {
  const ApplyCase cases[] = {
      {"no offers", "ISV", R"({})", false, true, false, 0},
      {"offers with limit", "ISV", R"({"f":{"m":2},"o":[{"n":1},{"n":2}]})", false, true, true, 2},
      {"empty offers with limit", "ISV", R"({"f":{"m":2},"o":[]})", false, true, true, 0},
      {"empty offers without f", "ISV", R"({"o":[]})", true, true, false, 0},
      {"offers with f but no m", "ISV", R"({"f":{"a":"p"},"o":[]})", true, true, false, 0},
      {"m of the wrong type", "ISV", R"({"f":{"m":"2"},"o":[]})", true, true, false, 0},
      {"m a boolean", "ISV", R"({"f":{"m":true},"o":[]})", true, true, false, 0},
      {"o an object", "ISV", R"({"f":{"m":1},"o":{"b":{"n":2},"a":{"n":1}}})", false, true, true, 2},
      {"o a scalar", "ISV", R"({"f":{"m":1},"o":"x"})", false, true, true, 1},
      {"o null", "ISV", R"({"f":{"m":1},"o":null})", false, true, true, 0},
      {"ISV ignores i", "ISV", R"({"i":7})", false, true, false, 0},
      {"answer not an object", "ISV", R"([1,2])", false, true, false, 0},
      {"l of the wrong type", "ISV", R"({"l":5})", true, true, false, 0},
      {"DLM without i", "DLM", R"({"o":[],"f":{"m":1}})", true, false, false, 0},
      {"DLM without ct", "DLM", R"({"i":{"cu":"https://d.test/p.exe"}})", true, false, false, 0},
      {"DLM ct not a string", "DLM", R"({"i":{"ct":1,"cu":"https://d.test/p.exe"}})", true, false, false, 0},
      {"DLM empty ct", "DLM", R"({"i":{"ct":"","cu":"https://d.test/p.exe"},"f":{"m":1},"o":[]})", false, false,
       false, 0},
      {"DLM empty cu", "DLM", R"({"i":{"ct":"P","cu":""}})", false, false, false, 0},
      {"DLM 00xA suppresses offers", "DLM", R"({"i":{"ct":"P","cu":"u","ch":"00xA"},"o":[{}]})", false, true, false,
       0},
      {"DLM 00XA does not", "DLM", R"({"i":{"ct":"P","cu":"u","ch":"00XA"},"f":{"m":3},"o":[{}]})", false, true, true,
       1},
      {"DLM 00xa does not", "DLM", R"({"i":{"ct":"P","cu":"u","ch":"00xa"},"f":{"m":3},"o":[{}]})", false, true, true,
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fakes;
    ConfigurationManager config(TestProfile(c.wizard), fakes.platform);
    const json doc = json::parse(c.answer);
    if (c.throws) {
      EXPECT_ANY_THROW(ApplyConfigurationAnswer(doc, config));
      continue;
    }
    const ConfigurationAnswer answer = ApplyConfigurationAnswer(doc, config);
    EXPECT_EQ(answer.productUsable, c.productUsable);
    EXPECT_EQ(answer.evaluateOffers, c.evaluateOffers);
    EXPECT_EQ(answer.offers.size(), c.offers);
  }
}

TEST(ConfigurationAnswer, ObjectOffersComeInKeyOrder) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  const auto answer = ApplyConfigurationAnswer(json::parse(R"({"f":{"m":1},"o":{"b":{"n":2},"a":{"n":1}}})"), config);
  ASSERT_EQ(answer.offers.size(), 2u);
  EXPECT_EQ(answer.offers[0]["n"], 1);
  EXPECT_EQ(answer.offers[1]["n"], 2);
}

TEST(ConfigurationAnswer, WritesTheRecord) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("DLM"), fakes.platform);
  const auto answer = ApplyConfigurationAnswer(json::parse(R"({
      "l": "MX",
      "i": {"ct": "Zelvane Web", "cu": "https://d.test/p.exe", "cl": "https://d.test/logo.png", "cf": "p.exe",
            "cp": "https://w.test/privacy", "ctu": "https://w.test/terms", "ch": "ch1", "cfl": "cfl1", "cb": "pb\u00e9"},
      "f": {"a": "pub-7", "m": 4.9},
      "o": [{}]})"),
                                               config);
  EXPECT_TRUE(answer.productUsable);
  EXPECT_TRUE(answer.evaluateOffers);
  EXPECT_EQ(config.countryCode, "MX");
  EXPECT_EQ(config.productTitle, L"Zelvane Web");
  EXPECT_EQ(config.primaryDownloadUrl, L"https://d.test/p.exe");
  EXPECT_EQ(config.logoUrl, L"https://d.test/logo.png");
  EXPECT_EQ(config.primaryFileName, L"p.exe");
  EXPECT_EQ(config.privacyUrl, L"https://w.test/privacy");
  EXPECT_EQ(config.termsUrl, L"https://w.test/terms");
  EXPECT_EQ(config.chValue, L"ch1");
  EXPECT_EQ(config.cflValue, L"cfl1");
  EXPECT_EQ(config.ispb, "pb\xC3\xA9") << "kept narrow, as sent";
  EXPECT_EQ(config.pubId, "pub-7");
  EXPECT_EQ(config.offerLimit, 4) << "truncated toward zero";
}

TEST(ConfigurationAnswer, DlmDefaultsOfTheOptionalMembers) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("DLM"), fakes.platform);
  config.logoUrl = L"old";
  const auto answer = ApplyConfigurationAnswer(json::parse(R"({"i":{"ct":"Zelvane Web","cu":"https://d.test/p"}})"), config);
  EXPECT_TRUE(answer.productUsable);
  EXPECT_FALSE(answer.evaluateOffers);
  EXPECT_EQ(config.primaryFileName, L"Zelvane Web.exe");
  for (const auto* empty : {&config.logoUrl, &config.privacyUrl, &config.termsUrl, &config.chValue, &config.cflValue}) {
    EXPECT_EQ(*empty, L"");
  }
  EXPECT_EQ(config.ispb, "");
  EXPECT_EQ(config.countryCode, "");
  EXPECT_EQ(config.pubId, "");
}

TEST(ConfigurationAnswer, StringsBecomeWideWithTheThreadAnsiCodePage) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("DLM"), fakes.platform);
  // The fake ANSI code page is Latin-1: each byte becomes one character.
  (void)ApplyConfigurationAnswer(json::parse("{\"i\":{\"ct\":\"Caf\xC3\xA9\",\"cu\":\"u\"}}"), config);
  EXPECT_EQ(config.productTitle, L"Caf\u00c3\u00a9");
}

TEST(ConfigurationAnswer, IsvKeepsItsCompiledProduct) {
  FakePlatform fakes;
  ConfigurationManager config(TestProfile("ISV"), fakes.platform);
  const auto answer = ApplyConfigurationAnswer(
      json::parse(R"({"i":{"ct":"Other","cu":"x","ch":"00xA"},"f":{"a":"p","m":2},"o":[{}]})"), config);
  EXPECT_TRUE(answer.evaluateOffers) << "the ISV code is not taken from the answer";
  EXPECT_EQ(config.productTitle, L"Zelvane Web");
  EXPECT_EQ(config.chValue, L"");
  EXPECT_EQ(config.pubId, "p");
  EXPECT_EQ(config.offerLimit, 2);
}

}  // namespace
}  // namespace zelvane
