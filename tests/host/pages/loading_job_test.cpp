#include "pages/loading_job.h"

#include <gtest/gtest.h>

#include "app/configuration_manager.h"
#include "offers/package_fixture.h"

namespace zelvane {
namespace {

using testing::OfferSetup;
using json = nlohmann::json;

constexpr wchar_t kConfigurationUrl[] = L"https://content.test/o";

// The answer with `offers` and an offer limit of `limit`.
json Answer(std::vector<json> offers, int limit = 5) {
  json list = json::array();
  for (auto& offer : offers) list.push_back(std::move(offer));
  return json{{"l", "US"}, {"f", {{"m", limit}, {"a", "pub-7"}}}, {"o", list}};
}

// An offer of a group of its own, so that the group rule lets it through.
json Offer(const std::string& id, int group, json ps = json::object()) {
  ps["v"] = group;
  return OfferSetup::OfferJson(id, ps);
}

struct LoadingSetup : OfferSetup {
  LoadingSetup() { config->configurationUrl = kConfigurationUrl; }

  LoadingOutcome Run(const json& answer) {
    fakes.transport.Script({{200, answer.dump()}});
    return LoadOffers(config);
  }

  static std::vector<std::string> Ids(const LoadingOutcome& outcome) {
    std::vector<std::string> ids;
    for (const auto& offer : outcome.offers) ids.push_back(offer->offerId);
    return ids;
  }
};

TEST(LoadingJob, AcceptedOffersInOrderWithTheirPositions) {
  LoadingSetup setup;
  const auto outcome = setup.Run(Answer({Offer("a", 1), Offer("b", 2)}));
  EXPECT_FALSE(outcome.configError);
  ASSERT_EQ(LoadingSetup::Ids(outcome), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(outcome.offers[0]->position, 0);
  EXPECT_EQ(outcome.offers[1]->position, 1);
  EXPECT_EQ(setup.config->offerCount, 2);
  EXPECT_EQ(setup.config->offerLimit, 5);
  EXPECT_EQ(setup.config->pubId, "pub-7");
  EXPECT_EQ(setup.config->countryCode, "US");
  // Only the configuration request went out: accepting an offer reports nothing.
  setup.Drain();
  ASSERT_EQ(setup.fakes.transport.posts().size(), 1u);
  EXPECT_EQ(setup.fakes.transport.posts()[0].url, kConfigurationUrl);
}

TEST(LoadingJob, AnExclusiveOfferEndsThePassBeforeLaterOffersAreBuilt) {
  LoadingSetup setup;
  // The element after it would throw if it were constructed: it has no "ad".
  const json malformed = {{"ps", {{"dn", "broken"}}}};
  const auto outcome = setup.Run(Answer({Offer("a", 1, {{"exc", true}}), malformed}));
  EXPECT_EQ(LoadingSetup::Ids(outcome), (std::vector<std::string>{"a"}));
}

TEST(LoadingJob, TheOfferLimitStopsThePass) {
  LoadingSetup setup;
  const json malformed = {{"ps", {{"dn", "broken"}}}};
  const auto outcome =
      setup.Run(Answer({Offer("a", 1), Offer("b", 2), malformed}, 1));
  EXPECT_EQ(LoadingSetup::Ids(outcome), (std::vector<std::string>{"a"}));
}

TEST(LoadingJob, AnswersWithNothingToEvaluate) {
  struct Case {
    const char* name;
    json answer;
    const wchar_t* channel;
  };
  const Case cases[] = {
      {"no o", json{{"l", "US"}, {"f", {{"m", 3}}}}, L""},
      {"channel 00xA suppresses offers", Answer({Offer("a", 1)}), L"00xA"},
      {"empty o", Answer({}), L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadingSetup setup;
    setup.config->chValue = c.channel;
    const auto outcome = setup.Run(c.answer);
    EXPECT_FALSE(outcome.configError);
    EXPECT_TRUE(outcome.offers.empty());
    EXPECT_EQ(setup.config->offerCount, 0);
  }
}

TEST(LoadingJob, DlmProductDescriptionDecidesTheConfigurationError) {
  struct Case {
    const char* name;
    json product;
    bool configError;
  };
  const Case cases[] = {
      {"usable", {{"ct", "Zelvane Web"}, {"cu", "https://cdn.test/z.exe"}}, false},
      {"empty title", {{"ct", ""}, {"cu", "https://cdn.test/z.exe"}}, true},
      {"empty URL", {{"ct", "Zelvane Web"}, {"cu", ""}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadingSetup setup;
    setup.config->wizardType = kWizardDlm;
    json answer = Answer({Offer("a", 1)});
    answer["i"] = c.product;
    const auto outcome = setup.Run(answer);
    EXPECT_EQ(outcome.configError, c.configError);
    EXPECT_EQ(outcome.offers.size(), c.configError ? 0u : 1u);
  }
}

TEST(LoadingJob, FailuresEndTheJobWithTheirException) {
  struct Case {
    const char* name;
    int wizardType;
    std::string body;
  };
  const Case cases[] = {
      {"not JSON", kWizardIsv, "<html>"},
      {"DLM answer without i", kWizardDlm, Answer({}).dump()},
      {"malformed offer", kWizardIsv, Answer({json{{"ps", json::object()}}}).dump()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadingSetup setup;
    setup.config->wizardType = c.wizardType;
    setup.fakes.transport.Script({{200, c.body}});
    EXPECT_THROW(LoadOffers(setup.config), std::exception);
  }
  LoadingSetup unreachable;
  unreachable.fakes.transport.Script({{0, "", true}, {0, "", true}, {0, "", true}});
  EXPECT_THROW(LoadOffers(unreachable.config), std::exception);
}

}  // namespace
}  // namespace zelvane
