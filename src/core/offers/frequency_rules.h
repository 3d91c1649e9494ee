#pragma once
// How many offers may come before and after an offer, and which ones. Written over any offer type
// with the fields `offerId`, `position` and `partnerSettings.{mb, ab, ma, aa}`, so the checker calls
// it with its packages as they are.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "offers/offer_rules.h"

namespace zelvane {

// The checker's records the rules read.
struct AcceptanceRecords {
  int acceptedCount = 0;
  const std::vector<std::string>& acceptedOfferIds;
  // The configuration's offer-limit adjustment: when non-zero, the "after" limits of the accepted
  // offers are not applied.
  int offerLimitAdjustment = 0;
};

// `accepted` is the caller's list of accepted offers in order. The "ab" and "aa" lists name offers
// by the base-62 encoding of their identifier (`encode`, whose exceptions propagate); reasons name
// them plainly.
template <typename Offer, typename Encode>
Rejection CheckFrequencyRules(const Offer& offer, const std::vector<std::shared_ptr<Offer>>& accepted,
                              const AcceptanceRecords& records, Encode&& encode) {
  const auto& settings = offer.partnerSettings;
  const auto contains = [](const auto& list, const std::string& entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
  };
  const auto joined = [](const std::vector<std::string>& ids) {
    std::string text;
    for (const auto& id : ids) text += (text.empty() ? "" : ",") + id;
    return text;
  };

  if (settings.mb < records.acceptedCount) {
    return "SHOWED " + std::to_string(records.acceptedCount) + " PRODUCTS BUT ONLY " + std::to_string(settings.mb) +
           " ALLOWED BEFORE";
  }
  if (!settings.ab.empty() && !records.acceptedOfferIds.empty()) {
    std::vector<std::string> notAllowed;
    for (const auto& id : records.acceptedOfferIds) {
      if (!contains(settings.ab, encode(id))) notAllowed.push_back(id);
    }
    if (!notAllowed.empty()) return "NOT ALLOWED AFTER " + joined(notAllowed);
  }
  if (records.offerLimitAdjustment != 0) return std::nullopt;

  const int count = static_cast<int>(accepted.size());
  for (const auto& earlier : accepted) {
    if (count - earlier->position - 1 >= earlier->partnerSettings.ma) {
      return "ONLY " + std::to_string(earlier->partnerSettings.ma) + " PRODUCTS ALLOWED TO BE SHOWN AFTER " +
             earlier->offerId;
    }
  }
  std::vector<std::string> refusing;
  for (const auto& earlier : accepted) {
    const auto& after = earlier->partnerSettings.aa;
    if (!after.empty() && !contains(after, encode(offer.offerId))) refusing.push_back(earlier->offerId);
  }
  if (!refusing.empty()) return "NOT ALLOWED AFTER " + joined(refusing);
  return std::nullopt;
}

}  // namespace zelvane
