#include "offers/frequency_rules.h"

#include <gtest/gtest.h>

#include <climits>

namespace zelvane {
namespace {

// The fields the rules read, named as the package names them.
struct TestOffer {
  std::string offerId;
  int position = 0;
  struct {
    int mb = INT_MAX;
    std::vector<std::string> ab;
    int ma = INT_MAX;
    std::vector<std::string> aa;
  } partnerSettings;
};
using Offers = std::vector<std::shared_ptr<TestOffer>>;

// Stands in for the base-62 encoding: the lists hold encoded identifiers, never plain ones.
std::string Encode(const std::string& id) { return "62:" + id; }

std::shared_ptr<TestOffer> Offer(const std::string& id, int position) {
  auto offer = std::make_shared<TestOffer>();
  offer->offerId = id;
  offer->position = position;
  return offer;
}

Rejection Check(const TestOffer& offer, const Offers& accepted, int adjustment = 0) {
  std::vector<std::string> ids;
  for (const auto& a : accepted) ids.push_back(a->offerId);
  return CheckFrequencyRules(offer, accepted, AcceptanceRecords{static_cast<int>(accepted.size()), ids, adjustment},
                             Encode);
}

TEST(FrequencyRules, AtMostSoManyBefore) {
  auto offer = Offer("C", 0);
  offer->partnerSettings.mb = 0;
  EXPECT_EQ(Check(*offer, {}), std::nullopt);
  EXPECT_EQ(Check(*offer, {Offer("A", 0)}), "SHOWED 1 PRODUCTS BUT ONLY 0 ALLOWED BEFORE");
  offer->partnerSettings.mb = 1;
  EXPECT_EQ(Check(*offer, {Offer("A", 0)}), std::nullopt);
  EXPECT_EQ(Check(*offer, {Offer("A", 0), Offer("B", 1)}), "SHOWED 2 PRODUCTS BUT ONLY 1 ALLOWED BEFORE");
}

TEST(FrequencyRules, OnlyListedOffersBefore) {
  auto offer = Offer("C", 2);
  offer->partnerSettings.ab = {"A", "62:B"};
  EXPECT_EQ(Check(*offer, {}), std::nullopt);
  EXPECT_EQ(Check(*offer, {Offer("B", 0)}), std::nullopt);
  EXPECT_EQ(Check(*offer, {Offer("A", 0), Offer("B", 1)}), "NOT ALLOWED AFTER A") << "plain identifiers do not count";
  EXPECT_EQ(Check(*offer, {Offer("A", 0), Offer("B", 1), Offer("D", 2)}), "NOT ALLOWED AFTER A,D");
}

TEST(FrequencyRules, AtMostSoManyAfterAnAcceptedOffer) {
  auto first = Offer("A", 0);
  first->partnerSettings.ma = 1;
  const auto second = Offer("B", 1);
  const auto third = Offer("C", 2);
  EXPECT_EQ(Check(*second, {first}), std::nullopt);
  EXPECT_EQ(Check(*third, {first, second}), "ONLY 1 PRODUCTS ALLOWED TO BE SHOWN AFTER A");
  EXPECT_EQ(Check(*third, {first, second}, 1), std::nullopt) << "a raised offer limit lifts the after rules";
  first->partnerSettings.ma = 0;
  EXPECT_EQ(Check(*second, {first}), "ONLY 0 PRODUCTS ALLOWED TO BE SHOWN AFTER A");
}

TEST(FrequencyRules, OnlyListedOffersAfter) {
  auto a = Offer("A", 0);
  a->partnerSettings.aa = {"62:C"};
  auto b = Offer("B", 1);
  b->partnerSettings.aa = {"62:X"};
  EXPECT_EQ(Check(*Offer("C", 1), {a}), std::nullopt);
  EXPECT_EQ(Check(*Offer("C", 2), {a, b}), "NOT ALLOWED AFTER B");
  EXPECT_EQ(Check(*Offer("D", 2), {a, b}), "NOT ALLOWED AFTER A,B");
  EXPECT_EQ(Check(*Offer("D", 2), {a, b}, -1), std::nullopt);
}

TEST(FrequencyRules, EarlierRulesWinAndEncodingErrorsPropagate) {
  auto a = Offer("A", 0);
  a->partnerSettings.ma = 0;
  auto offer = Offer("C", 1);
  offer->partnerSettings.mb = 0;
  EXPECT_EQ(Check(*offer, {a}), "SHOWED 1 PRODUCTS BUT ONLY 0 ALLOWED BEFORE");
  offer->partnerSettings = {};
  offer->partnerSettings.ab = {"x"};
  const std::vector<std::string> ids{"A"};
  EXPECT_THROW(CheckFrequencyRules(*offer, Offers{a}, AcceptanceRecords{1, ids, 0},
                                   [](const std::string&) -> std::string { throw std::invalid_argument("base62"); }),
               std::invalid_argument);
}

}  // namespace
}  // namespace zelvane
