// Package::SendEvent on the recording transport: envelope, parameters, attempts and pauses, closing
// identifiers, and the bounded wait for deliveries at shut-down on a clock of the test's own.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "offers/package_fixture.h"

namespace zelvane {
namespace {

using json = nlohmann::json;
using testing::kAnalyticsUrl;
using testing::OfferSetup;
using Answer = testing::RecordingTransport::Answer;
using testing::Status;

TEST(PackageEvents, EnvelopeOfOneEvent) {
  OfferSetup setup;
  setup.fakes.transport.Script({Status(200)});
  const auto p = setup.Offer("A", {}, 1);
  p->SendEvent(-1, json{{"12", "DOWNLOAD FAILED: x"}});
  setup.Drain();

  const auto posts = setup.fakes.transport.posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].url, kAnalyticsUrl);
  EXPECT_EQ(posts[0].headers, p->requestBase.headers);
  json record = p->eventRecord;
  record["6"] = "-1";
  record["12"] = "DOWNLOAD FAILED: x";
  // Compact, keys sorted: "data" before "table", the record as one escaped string.
  EXPECT_EQ(posts[0].body, R"({"data":)" + json(record.dump()).dump() + R"(,"table":"zb_analytics"})");
  EXPECT_EQ(json::parse(json::parse(posts[0].body)["data"].get<std::string>())["17"], "2");
  EXPECT_TRUE(p->eventsClosed);
  EXPECT_TRUE(setup.fakes.machine.sleeps.empty());
}

TEST(PackageEvents, ParametersAreMergedOrTheDeliveryIsRefused) {
  struct Case {
    json params;
    bool sent;
    std::string event;  // "6" of the record
    json reason;        // "13" of the record
  };
  const Case cases[] = {
      {json{{"13", "SAK"}, {"99", "not in the record"}}, true, "2", "SAK"},
      {nullptr, true, "2", ""},
      {json::object(), true, "2", ""},
      {json{{"6", "overwritten"}}, true, "overwritten", ""},
      {json{{"13", 5}}, true, "2", 5},
      {json("SAK"), false, "", nullptr},  // not an object: no request
      {json::array({1}), false, "", nullptr},
      {json{{"13", "\xFF\xFE"}}, false, "", nullptr},  // no UTF-8: the record cannot be written
  };
  for (const auto& c : cases) {
    OfferSetup setup;
    setup.fakes.transport.Script({Status(200)});
    const auto p = setup.Offer("A");
    p->SendEvent(2, c.params);
    setup.Drain();
    const auto records = setup.Records();
    ASSERT_EQ(records.size(), c.sent ? 1u : 0u) << c.params;
    EXPECT_EQ(p->pendingEvents, 0);
    EXPECT_EQ(p->eventsClosed, c.sent) << c.params;
    if (!c.sent) continue;
    EXPECT_EQ(records[0]["6"], c.event);
    EXPECT_EQ(records[0]["13"], c.reason);
    EXPECT_FALSE(records[0].contains("99"));
  }
}

TEST(PackageEvents, ClosingIdentifiersEndTheEventsOfAPackage) {
  for (const int id : {-1, 0, 1, 2, 3, 4, 5, 6, -2}) {
    OfferSetup setup;
    setup.fakes.transport.Script({Status(200), Status(200)});
    const auto p = setup.Offer("A");
    p->SendEvent(id);
    setup.Drain();
    const bool closing = id == -1 || (id >= 2 && id <= 5);
    EXPECT_EQ(p->eventsClosed, closing) << id;
    p->SendEvent(5);
    setup.Drain();
    EXPECT_EQ(setup.Records().size(), closing ? 1u : 2u) << id;
  }
}

TEST(PackageEvents, StatusesAndAttempts) {
  struct Case {
    std::vector<Answer> answers;
    std::size_t posts;
    std::vector<std::uint32_t> sleeps;
    bool closed;
  };
  const Case cases[] = {
      {{Status(200)}, 1, {}, true},
      {{Status(399)}, 1, {}, true},
      {{Status(199), Status(204)}, 2, {5000}, true},
      {{Status(503), Status(200)}, 2, {5000}, true},
      {{Status(400), Status(400)}, 2, {5000, 5000}, false},
      {{Status(503), Status(503), Status(200)}, 2, {5000, 5000}, false},
      {{Status(200, true)}, 1, {}, false},    // the transfer fails: no second attempt, no pause
      {{Status(503), Status(0, true)}, 2, {5000}, false},
  };
  for (const auto& c : cases) {
    OfferSetup setup;
    setup.fakes.transport.Script(c.answers);
    const auto p = setup.Offer("A");
    p->SendEvent(4);
    setup.Drain();
    EXPECT_EQ(setup.fakes.transport.posts().size(), c.posts) << c.answers.front().status;
    EXPECT_EQ(setup.fakes.machine.sleeps, c.sleeps) << c.answers.front().status;
    EXPECT_EQ(p->eventsClosed, c.closed) << c.answers.front().status;
  }
}

// A transport whose posts wait until the test opens the gate.
class GatedTransport : public JsonTransport {
 public:
  bool PostJson(const std::wstring&, const std::string&, HeaderList, std::string&, std::uint32_t& status) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++entered_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
    status = 200;
    return true;
  }
  void WaitForPosts(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return entered_ >= count; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int entered_ = 0;
  bool open_ = false;
};

// Time moves only when someone waits: each wait lasts its whole timeout.
class TestClock : public WaitClock {
 public:
  std::int64_t now = 1000000;
  std::vector<std::int64_t> waits;
  std::int64_t NowMs() override { return now; }
  void WaitFor(std::condition_variable&, std::unique_lock<std::mutex>&, std::int64_t milliseconds) override {
    waits.push_back(milliseconds);
    now += milliseconds;
  }
};

struct GatedSetup : OfferSetup {
  GatedTransport gate;
  Platform gated{fakes.machine, fakes.registry, fakes.ui, fakes.text, fakes.digests, gate};
  std::shared_ptr<ConfigurationManager> gatedConfig =
      std::make_shared<ConfigurationManager>(testing::TestProfile("ISV"), gated);

  std::vector<std::weak_ptr<Package>> gatedPackages;

  std::shared_ptr<Package> GatedOffer(const std::string& id) {
    auto package = std::make_shared<Package>(RequestBase(*gatedConfig), OfferJson(id), false, "", 0, gatedConfig);
    gatedPackages.push_back(package);
    return package;
  }
  // The gate outlives every delivery that went through it.
  ~GatedSetup() {
    gate.Open();
    for (auto& package : gatedPackages) {
      if (auto alive = package.lock()) {
        EXPECT_TRUE(WaitForEventDeliveries({alive}, 60000));
      }
    }
  }
};

TEST(PackageEvents, ADeliveryKeepsItsPackageAlive) {
  GatedSetup setup;
  auto p = setup.GatedOffer("A");
  const std::weak_ptr<Package> watch = p;
  p->SendEvent(2, json{{"13", "X"}});
  p.reset();  // the loading page lets a rejected offer go at once
  setup.gate.WaitForPosts(1);
  const auto alive = watch.lock();
  ASSERT_NE(alive, nullptr);
  EXPECT_EQ(alive->pendingEvents, 1);
  setup.gate.Open();
  EXPECT_TRUE(WaitForEventDeliveries({alive}, 60000));
  EXPECT_TRUE(alive->eventsClosed);
}

TEST(PackageEvents, TheDestructorWaitsForRunningDeliveries) {
  OfferSetup setup;
  auto p = setup.Offer("A");
  Package* raw = p.get();
  {
    std::lock_guard<std::mutex> lock(raw->eventMutex);
    raw->pendingEvents = 1;  // as if a delivery ran that holds no owner
  }
  std::atomic<bool> finished{false};
  std::thread delivery([raw, &finished] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    finished = true;
    std::lock_guard<std::mutex> lock(raw->eventMutex);
    raw->pendingEvents = 0;
  });
  p.reset();  // the last owner: the destructor polls until the count is 0
  EXPECT_TRUE(finished);
  delivery.join();
}

TEST(PackageEvents, TheShutDownWaitIsBoundedInTotal) {
  GatedSetup setup;
  const std::vector<std::shared_ptr<Package>> packages{setup.GatedOffer("A"), nullptr, setup.GatedOffer("B"),
                                                       setup.GatedOffer("C")};
  for (const auto& p : packages) {
    if (p) p->SendEvent(5);
  }
  setup.gate.WaitForPosts(3);

  TestClock clock;
  EXPECT_FALSE(WaitForEventDeliveries(packages, kShutdownEventWaitMs, clock));
  EXPECT_EQ(clock.waits, std::vector<std::int64_t>{15000}) << "one budget for all packages, not one each";
  EXPECT_EQ(clock.now, 1015000);

  setup.gate.Open();
  EXPECT_TRUE(WaitForEventDeliveries(packages, 60000));

  TestClock idle;
  EXPECT_TRUE(WaitForEventDeliveries(packages, kShutdownEventWaitMs, idle));
  EXPECT_TRUE(idle.waits.empty()) << "nothing running, no wait";
}

}  // namespace
}  // namespace zelvane
