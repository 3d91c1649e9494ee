// The HTTPS JSON POST, the signed analytics request and the configuration request against the local
// content service of the test run: what the service received (its log) and what the program made of
// the answers.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "app/api_manager.h"
#include "app/configuration_manager.h"
#include "app/folder_tree.h"
#include "app/orvane_exception.h"
#include "app/system_platform.h"
#include "content_service.h"
#include "telemetry/digests.h"
#include "telemetry/request_base.h"
#include "telemetry/text_codec.h"
#include "telemetry/text_digest.h"
#include "telemetry/winhttp_transport.h"

namespace zelvane {
namespace {

using nlohmann::json;
using test::ContentService;
using test::ContentUrl;
using test::UniquePath;

// A literal with its embedded NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The one request the service logged for `path` since `mark`.
json OnlyRequest(std::int64_t mark, const std::string& path) {
  const auto entries = ContentService::Log(mark, path);
  if (entries.size() != 1) {
    ADD_FAILURE() << entries.size() << " requests for " << path;
    return json::object();
  }
  return entries[0];
}

struct Posted {
  bool returned = false;
  std::string response;
  std::uint32_t status = 0;
};

Posted Post(const std::wstring& url, const std::string& body, HeaderList headers = {}) {
  win32::SystemMachine machine;
  win32::WinHttpTransport transport(machine);
  Posted posted;
  posted.returned = transport.PostJson(url, body, std::move(headers), posted.response, posted.status);
  return posted;
}

TEST(PostJsonToService, SendsTheBodyAfterTheCallersHeadersAndTheTwoFixedOnes) {
  const std::string path = UniquePath("headers");
  ContentService::AddRoutes({{path, {{"status", 201}, {"json", {{"ok", true}}}}}});
  const std::int64_t mark = ContentService::Mark();

  win32::SystemMachine machine;
  win32::WinHttpTransport transport(machine);
  const HeaderList headers = {{L"X-Zelvane-First", L"one"}, {L"X-Zelvane-Second", L"two"}};
  std::string response = "kept:";
  std::uint32_t status = 0;
  ASSERT_TRUE(transport.PostJson(ContentUrl(path), R"({"k":"v \u00e9"})", headers, response, status));
  EXPECT_EQ(status, 201u);
  EXPECT_EQ(response, R"(kept:{"ok":true})") << "the answer is appended";
  EXPECT_EQ(headers.size(), 2u);

  const json entry = OnlyRequest(mark, path);
  EXPECT_EQ(entry["method"], "POST");
  EXPECT_EQ(entry["body"], R"({"k":"v \u00e9"})");
  EXPECT_EQ(entry["host"], "content.zelvane.test");
  const std::map<std::string, std::string> expected = {{"x-zelvane-first", "one"},
                                                       {"x-zelvane-second", "two"},
                                                       {"expect", "100-continue"},
                                                       {"content-type", "application/json"}};
  std::vector<std::string> order;
  for (const auto& header : entry["headers"]) {
    const std::string name = Lower(header[0].get<std::string>());
    const std::string value = header[1].get<std::string>();
    EXPECT_NE(name, "user-agent") << value;
    const auto known = expected.find(name);
    if (known == expected.end()) continue;
    EXPECT_EQ(value, known->second);
    order.push_back(name);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"x-zelvane-first", "x-zelvane-second", "expect", "content-type"}));
}

TEST(PostJsonToService, AlwaysPostsThePathOverTlsOn443) {
  struct Case {
    const char* name;
    std::string prefix, suffix;
  };
  const Case cases[] = {
      {"query", "https://content.zelvane.test", "?q=1&r=two"},
      {"port", "https://content.zelvane.test:8443", ""},
      {"plain", "http://content.zelvane.test", ""},
      {"plain-port-query", "http://content.zelvane.test:80", "?x=y#part"},
      {"fragment", "https://content.zelvane.test", "#part"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = UniquePath(std::string("tls-") + c.name);
    ContentService::AddRoutes({{path, {{"json", {{"case", c.name}}}}}});
    const std::int64_t mark = ContentService::Mark();
    const std::string url = c.prefix + path + c.suffix;

    const Posted posted = Post(std::wstring(url.begin(), url.end()), "{}");
    EXPECT_TRUE(posted.returned);
    EXPECT_EQ(posted.status, 200u);
    EXPECT_EQ(posted.response, json({{"case", c.name}}).dump());

    const json entry = OnlyRequest(mark, path);
    EXPECT_EQ(entry["listener"], "https");
    EXPECT_EQ(entry["scheme"], "https");
    EXPECT_EQ(entry["tls"].get<std::string>().rfind("TLSv1.", 0), 0u) << entry["tls"];
    EXPECT_NE(entry["tls"], "TLSv1.1");
    EXPECT_EQ(entry["query"], "");
  }
}

TEST(PostJsonToService, SendsTheBodyOnlyUpToItsFirstNul) {
  const std::string path = UniquePath("nul-body");
  ContentService::AddRoutes({{path, {{"json", json::object()}}}});
  const std::int64_t mark = ContentService::Mark();

  EXPECT_TRUE(Post(ContentUrl(path), Bytes("{\"a\":1}\0{\"b\":2}")).returned);
  const json entry = OnlyRequest(mark, path);
  EXPECT_EQ(entry["body"], R"({"a":1})");
  EXPECT_EQ(entry["body_length"], 7);
}

TEST(PostJsonToService, ReturnsEveryAnsweredStatusWithTheJoinedChunks) {
  std::string large;
  for (int i = 0; large.size() < 300000; ++i) large += std::to_string(i) + ",";
  const json chunked = {{"Transfer-Encoding", "chunked"}};
  struct Case {
    const char* name;
    json route;
    std::uint32_t status;
    std::string response;
  };
  const Case cases[] = {
      {"large", {{"body", large}}, 200, large},
      {"chunks",
       {{"headers", chunked}, {"content_length", nullptr}, {"body", "5\r\nalpha\r\n4\r\nbeta\r\n5\r\ngamma\r\n0\r\n\r\n"}},
       200,
       "alphabetagamma"},
      // Each chunk is read by a pass of its own, and a pass keeps its bytes up to the first NUL.
      {"nul-chunk",
       {{"headers", chunked},
        {"content_length", nullptr},
        {"body", Bytes("A\r\none\0hidden\r\n3\r\ntwo\r\n0\r\n\r\n")}},
       200,
       "onetwo"},
      {"server-error", {{"status", 500}, {"json", {{"error", "busy"}}}}, 500, R"({"error":"busy"})"},
      {"not-found", {{"status", 404}, {"body", ""}}, 404, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = UniquePath(std::string("answer-") + c.name);
    ContentService::AddRoutes({{path, c.route}});
    const Posted posted = Post(ContentUrl(path), "{}");
    EXPECT_TRUE(posted.returned);
    EXPECT_EQ(posted.status, c.status);
    EXPECT_EQ(posted.response.size(), c.response.size());
    EXPECT_TRUE(posted.response == c.response) << posted.response.substr(0, 200);
  }
}

TEST(PostJsonToService, ThrowsWhenNoSecureConnectionIsMade) {
  const std::string path = UniquePath("refused");
  ContentService::AddRoutes({{path, {{"json", json::object()}}}});
  const std::int64_t mark = ContentService::Mark();
  for (const char* host : {"legacy-tls.zelvane.test", "unreachable.zelvane.test"}) {
    SCOPED_TRACE(host);
    const std::string url = std::string("https://") + host + path;
    EXPECT_THROW(Post(std::wstring(url.begin(), url.end()), "{}"), OrvaneException);
  }
  EXPECT_TRUE(ContentService::Log(mark, path).empty());
  // The legacy host was reached and refused in the handshake.
  const auto handshakes = ContentService::Log(mark, "", "tls_error");
  EXPECT_TRUE(std::any_of(handshakes.begin(), handshakes.end(),
                          [](const json& entry) { return entry["listener"] == "legacy_tls"; }));
}

TEST(SignedAnalyticsRequest, TheServiceRecomputesTheSignature) {
  ConfigurationManager config(BuildProfile{"ISV", true, false, L"localhost", L"localhost", L"localhost"},
                              SystemPlatform());
  const RequestBase base(config);
  const std::string forged(64, '0');
  struct Case {
    const char* name;
    HeaderList headers;
    bool signatureOk;
  };
  const Case cases[] = {
      {"signed", base.headers, true},
      {"forged", {{L"Authorization", L"Signature=" + std::wstring(forged.begin(), forged.end())}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    json record = base.record;
    const std::string marker = UniquePath(c.name);  // the package field finds this request in the log
    record["5"] = marker;
    const json envelope = {{"data", record.dump()}, {"table", "zb_analytics"}};
    const std::int64_t mark = ContentService::Mark();

    const Posted posted = Post(L"https://content.zelvane.test/zbd", envelope.dump(), c.headers);
    EXPECT_TRUE(posted.returned);
    if (c.signatureOk) {
      EXPECT_EQ(posted.status, 200u) << posted.response;
    }

    std::vector<json> mine;
    for (const auto& entry : ContentService::Log(mark, "/zbd")) {
      if (entry["analytics"].value("package", "") == marker) mine.push_back(entry["analytics"]);
    }
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_TRUE(mine[0]["envelope_ok"].get<bool>()) << mine[0]["error"];
    EXPECT_EQ(mine[0]["signature_ok"].get<bool>(), c.signatureOk) << mine[0]["error"];
    EXPECT_EQ(mine[0]["record"], record);
  }
  win32::DeleteFolderTree(config.workFolder);
}

// The system's machine, except that a pause is recorded and returns at once.
class RecordingSleepMachine : public win32::SystemMachine {
 public:
  void Sleep(std::uint32_t milliseconds) override { pauses.push_back(milliseconds); }
  std::vector<std::uint32_t> pauses;
};

// A configuration record on the real adapters and transport, with a recorded sleeper.
struct ConfigurationRun {
  RecordingSleepMachine machine;
  win32::SystemRegistry registry;
  win32::SystemUserInterface ui;
  win32::SystemTextCodec text;
  win32::SystemDigests digests;
  win32::WinHttpTransport transport{machine};
  Platform platform{machine, registry, ui, text, digests, transport};
  ConfigurationManager config{BuildProfile{"ISV", true, false, L"localhost", L"localhost", L"localhost"}, platform};

  ~ConfigurationRun() { win32::DeleteFolderTree(config.workFolder); }
};

TEST(ConfigurationRequestToService, RetriesPausesAndParsesTheLastAnswer) {
  const json offers = {{"l", "DE"}, {"f", {{"m", 2}}}, {"o", json::array()}};
  struct Case {
    const char* name;
    json route;
    int requests;
    std::vector<std::uint32_t> pauses;
    json answer;  // null: OrvaneException
  };
  const Case cases[] = {
      {"third-attempt", {{{"status", 503}}, {{"status", 503}}, {{"json", offers}}}, 3, {5000, 5000}, offers},
      {"three-errors", {{"status", 500}, {"json", {{"n", 1}}}}, 3, {5000, 5000, 5000}, {{"n", 1}}},
      {"three-empty-errors", {{"status", 503}}, 3, {5000, 5000, 5000}, nullptr},
      {"first-attempt", {{"body", " {\r\n\t\"l\" : \"US\" ,\n \"f\":{ \"m\" : 1 } }\n"}}, 1, {}, {{"l", "US"}, {"f", {{"m", 1}}}}},
      {"redirect-status", {{"status", 304}, {"body", ""}}, 1, {}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigurationRun run;
    const std::string path = UniquePath(std::string("o-") + c.name);
    run.config.configurationUrl = ContentUrl(path);
    ContentService::AddRoutes({{path, c.route}});
    const std::int64_t mark = ContentService::Mark();

    ApiManager api(run.config);
    if (c.answer.is_null()) {
      EXPECT_THROW(api.RequestConfiguration(), OrvaneException);
    } else {
      EXPECT_EQ(api.RequestConfiguration(), c.answer);
    }
    EXPECT_EQ(run.machine.pauses, c.pauses);

    const std::string expectedBody = R"({"a":"Ostrel","i":"Zelvane_Web","l":"","o":")" + OsVersionText() +
                                     R"(","plv":"3.2.0.6031","prv":"0.1","s":"Zelvane_Web_CPP","u":""})";
    const auto entries = ContentService::Log(mark, path);
    EXPECT_EQ(entries.size(), static_cast<std::size_t>(c.requests));
    for (const auto& entry : entries) {
      EXPECT_EQ(entry["method"], "POST");
      EXPECT_EQ(entry["body"], expectedBody);
    }
  }
}

TEST(ConfigurationRequestToService, AFailedPostEndsTheRequestWithoutAPause) {
  ConfigurationRun run;
  run.config.configurationUrl = L"https://unreachable.zelvane.test/o";
  ApiManager api(run.config);
  EXPECT_THROW(api.RequestConfiguration(), OrvaneException);
  EXPECT_TRUE(run.machine.pauses.empty());
}

}  // namespace
}  // namespace zelvane
