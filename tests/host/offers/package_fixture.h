#pragma once
// A configuration record on fakes for the package, event and checker tests, with helpers to build
// offers and to wait for their event deliveries.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"
#include "offers/package.h"

namespace zelvane::testing {

constexpr char kMachineGuid[] = "6f1c2a3e-0000-4000-8000-00000000abcd";
constexpr wchar_t kAnalyticsUrl[] = L"https://content.test/zbd";

// A scripted answer: a status, or a transfer that fails.
inline RecordingTransport::Answer Status(std::uint32_t status, bool fails = false) {
  RecordingTransport::Answer answer;
  answer.status = status;
  answer.fails = fails;
  return answer;
}

struct OfferSetup {
  FakePlatform fakes;
  std::shared_ptr<ConfigurationManager> config;

  OfferSetup() {
    fakes.registry.SetString(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Cryptography", "MachineGuid",
                             kMachineGuid);
    config = std::make_shared<ConfigurationManager>(TestProfile("ISV"), fakes.platform);
    config->analyticsUrl = kAnalyticsUrl;
    config->publisher = L"Zelvane";
    config->productTitle = L"Zelvane Web";
  }

  // Every delivery must end: the fakes die with this object.
  ~OfferSetup() {
    for (auto& package : made_) {
      if (auto alive = package.lock()) {
        EXPECT_TRUE(WaitForEventDeliveries({alive}, 60000));
      }
    }
  }

  RequestBase Base() { return RequestBase(*config); }

  // An offer with the required keys; `ps` members are added to (or replace) those of "ps".
  static nlohmann::json OfferJson(const std::string& id, const nlohmann::json& ps = nlohmann::json::object()) {
    nlohmann::json offer{{"ad", {{"o", id}, {"f", "feed-" + id}}},
                         {"ps", {{"i", id + ".png"}, {"dn", "Offer " + id}, {"u", "https://cdn.test/" + id + ".exe"}}}};
    for (auto it = ps.begin(); it != ps.end(); ++it) offer["ps"][it.key()] = it.value();
    return offer;
  }

  std::shared_ptr<Package> Build(const nlohmann::json& offer, int position = 0, const std::string& channel = "") {
    auto package = std::make_shared<Package>(Base(), offer, false, channel, position, config);
    made_.push_back(package);
    return package;
  }
  std::shared_ptr<Package> Offer(const std::string& id, const nlohmann::json& ps = nlohmann::json::object(),
                                 int position = 0) {
    return Build(OfferJson(id, ps), position);
  }

  // Waits until the deliveries of every package made here have ended.
  void Drain() {
    for (auto& package : made_) {
      if (auto alive = package.lock()) {
        ASSERT_TRUE(WaitForEventDeliveries({alive}, 60000));
      }
    }
  }

  // The records of the analytics posts, decoded from their envelopes.
  std::vector<nlohmann::json> Records() {
    std::vector<nlohmann::json> records;
    for (const auto& post : fakes.transport.posts()) {
      records.push_back(nlohmann::json::parse(nlohmann::json::parse(post.body).at("data").get<std::string>()));
    }
    return records;
  }

  // Offer identifier -> reason of each event 2 posted.
  std::map<std::string, std::string> Rejections() {
    std::map<std::string, std::string> reasons;
    for (const auto& record : Records()) {
      if (record.at("6") == "2") reasons[record.at("5").get<std::string>()] = record.at("13").get<std::string>();
    }
    return reasons;
  }

 private:
  std::vector<std::weak_ptr<Package>> made_;
};

}  // namespace zelvane::testing
