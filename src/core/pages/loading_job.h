#pragma once
// The loading page's background job: asks the configuration endpoint what to offer, writes the answer
// into the configuration record and passes each offer of the answer through the check engine.

#include <memory>
#include <vector>

#include "offers/package.h"

namespace zelvane {

class ConfigurationManager;

struct LoadingOutcome {
  // A DLM answer whose product description has no title or no download URL.
  bool configError = false;
  // The accepted offers, in the order of the answer.
  std::vector<std::shared_ptr<Package>> offers;
};

// Runs on a pool thread. Every offer gets a fresh request base; the pass stops after an accepted
// exclusive offer or when the check engine says stop, so later offers are not even built. Throws what
// the request, the answer, an offer's construction or a check throws.
LoadingOutcome LoadOffers(const std::shared_ptr<ConfigurationManager>& config);

}  // namespace zelvane
