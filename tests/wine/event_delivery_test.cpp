// Event delivery for real: the WinHTTP transport against the local content service, whose receiver
// decodes "/zbd" posts and checks their signature. Only the pause between attempts is recorded
// instead of slept. Tests run side by side, so each package has an identifier of this process and
// each added route a path of its own.

#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>

#include "app/configuration_manager.h"
#include "app/system_platform.h"
#include "offers/package.h"
#include "content_service.h"

namespace zelvane {
namespace {

using json = nlohmann::json;

// The real machine, except that pauses are recorded instead of slept.
class RecordedSleeps : public win32::SystemMachine {
 public:
  void Sleep(std::uint32_t milliseconds) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(milliseconds);
  }
  std::vector<std::uint32_t> sleeps() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> sleeps_;
};

// What the deliveries use; left alive on purpose when one of them is still running at the end.
struct Environment {
  RecordedSleeps machine;
  Platform& system = SystemPlatform();
  Platform platform{machine, system.registry, system.ui, system.text, system.digests, system.transport};
  std::shared_ptr<ConfigurationManager> config = std::make_shared<ConfigurationManager>(
      BuildProfile{"ISV", true, false, L"content.zelvane.test", L"download.zelvane.test", L"www.zelvane.test"},
      platform);
};

class EventsOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = new Environment;
    env_->config->analyticsUrl = test::ContentUrl("/zbd");
    mark_ = test::ContentService::Mark();
  }
  void TearDown() override {
    bool finished = true;
    for (auto& package : made_) {
      if (auto alive = package.lock()) finished = WaitForEventDeliveries({alive}, 60000) && finished;
    }
    if (finished) delete env_;  // otherwise a stalled delivery still uses it until the process ends
  }

  std::shared_ptr<Package> Offer(const std::string& name) {
    const std::string id = "c2-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
    const json offer{{"ad", {{"o", id}, {"f", "feed"}}},
                     {"ps", {{"i", "i.png"}, {"dn", "Offer"}, {"u", "https://cdn.partner-a.test/a.exe"}}}};
    auto package = std::make_shared<Package>(RequestBase(*env_->config), offer, false, "", 0, env_->config);
    made_.push_back(package);
    return package;
  }
  static void Finish(const std::shared_ptr<Package>& package) {
    ASSERT_TRUE(WaitForEventDeliveries({package}, 60000));
  }
  // The analytics requests of this test for one package, as the receiver decoded them.
  std::vector<json> Analytics(const std::shared_ptr<Package>& package) {
    std::vector<json> mine;
    for (const auto& entry : test::ContentService::Log(mark_, "/zbd")) {
      const json& analytics = entry.at("analytics");
      if (analytics.value("package", "") == package->offerId) mine.push_back(entry);
    }
    return mine;
  }
  static std::vector<std::string> Events(const std::vector<json>& entries) {
    std::vector<std::string> events;
    for (const auto& entry : entries) events.push_back(entry.at("analytics").at("event").get<std::string>());
    return events;
  }

  Environment* env_ = nullptr;
  std::int64_t mark_ = 0;
  std::vector<std::weak_ptr<Package>> made_;
};

TEST_F(EventsOnWindows, ClosingIdentifiersAndTheReceiversCheck) {
  struct Case {
    int first;
    std::vector<std::string> received;
  };
  const Case cases[] = {
      {4, {"4"}},
      {-1, {"-1"}},
      {2, {"2"}},
      {1, {"1", "5"}},  // 1 does not close
  };
  for (const auto& c : cases) {
    const auto p = Offer("closing" + std::to_string(c.first));
    p->SendEvent(c.first);
    Finish(p);
    p->SendEvent(5);
    Finish(p);
    const auto entries = Analytics(p);
    EXPECT_EQ(Events(entries), c.received) << c.first;
    for (const auto& entry : entries) {
      const json& analytics = entry.at("analytics");
      EXPECT_TRUE(analytics.value("envelope_ok", false)) << analytics.dump();
      EXPECT_TRUE(analytics.value("signature_ok", false)) << analytics.dump();
      EXPECT_TRUE(analytics.value("canonical", false)) << "compact, keys in order: " << entry.value("body", "");
      EXPECT_EQ(entry["response"]["status"].get<int>(), 200);
    }
    EXPECT_TRUE(p->eventsClosed);
  }
  EXPECT_TRUE(env_->machine.sleeps().empty());
}

TEST_F(EventsOnWindows, ParametersMergedOrRefused) {
  const auto merged = Offer("merged");
  merged->SendEvent(2, json{{"13", "SAK"}, {"99", "not in the record"}});
  const auto refused = Offer("refused");
  refused->SendEvent(2, json("SAK"));
  Finish(merged);
  Finish(refused);

  const auto entries = Analytics(merged);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["analytics"]["reason"], "SAK");
  EXPECT_FALSE(entries[0]["analytics"]["record"].contains("99"));
  EXPECT_EQ(entries[0]["analytics"]["record"]["17"], "1");
  EXPECT_TRUE(Analytics(refused).empty()) << "parameters that are a string: no request";
  EXPECT_FALSE(refused->eventsClosed);
}

TEST_F(EventsOnWindows, A503IsTriedOnceMore) {
  struct Case {
    const char* name;
    json answers;
    std::vector<int> statuses;
    std::vector<std::uint32_t> sleeps;
    bool closed;
  };
  const Case cases[] = {
      {"retry", json::array({{{"status", 503}}, {{"status", 200}}}), {503, 200}, {5000}, true},
      {"unavailable", json::array({{{"status", 503}}}), {503, 503}, {5000, 5000}, false},
      {"not-modified", json::array({{{"status", 304}}}), {304}, {}, true},
  };
  for (const auto& c : cases) {
    Environment* env = env_;
    const std::string path = test::UniquePath(std::string("events/") + c.name);
    test::ContentService::AddRoutes({{path, c.answers}});
    env->config->analyticsUrl = test::ContentUrl(path);
    const auto before = env->machine.sleeps().size();
    const auto p = Offer(c.name);
    p->SendEvent(3);
    Finish(p);
    std::vector<int> statuses;
    for (const auto& entry : test::ContentService::Log(mark_, path)) statuses.push_back(entry["response"]["status"].get<int>());
    EXPECT_EQ(statuses, c.statuses) << c.name;
    const auto sleeps = env->machine.sleeps();
    EXPECT_EQ(std::vector<std::uint32_t>(sleeps.begin() + static_cast<std::ptrdiff_t>(before), sleeps.end()), c.sleeps)
        << c.name;
    EXPECT_EQ(p->eventsClosed, c.closed) << c.name;
  }
}

TEST_F(EventsOnWindows, ShutDownWaitReturnsByItsBound) {
  // An analytics receiver that reads each event and never answers. Only this test posts to this
  // host, so the route stays its own while the receiver still checks every request.
  test::ContentService::AddRoutes({{"control.zelvane.test/zbd", {{"stall", true}}}});
  env_->config->analyticsUrl = L"https://control.zelvane.test/zbd";
  const std::vector<std::shared_ptr<Package>> packages{Offer("stall-a"), Offer("stall-b")};
  for (const auto& p : packages) p->SendEvent(5);

  // Both events reached the receiver, which now holds them unanswered.
  const auto stalled = [&] {
    std::size_t count = 0;
    for (const auto& p : packages) count += Analytics(p).size();
    return count;
  };
  for (int i = 0; i < 400 && stalled() < 2; ++i) ::Sleep(50);
  ASSERT_EQ(stalled(), 2u);
  for (const auto& p : packages) {
    const auto entries = Analytics(p);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0]["analytics"].value("signature_ok", false));
    EXPECT_EQ(entries[0]["route"], "control.zelvane.test/zbd");
  }

  EXPECT_FALSE(WaitForEventDeliveries(packages, 1000)) << "the deliveries are abandoned at the bound";
  for (const auto& p : packages) {
    std::lock_guard<std::mutex> lock(p->eventMutex);
    EXPECT_EQ(p->pendingEvents, 1);
    EXPECT_FALSE(p->eventsClosed);
  }
  made_.clear();  // nothing more to wait for: the process ends with the deliveries still stalled
  env_ = nullptr;
}

}  // namespace
}  // namespace zelvane
