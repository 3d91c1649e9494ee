#include "pages/loading_job.h"

#include "app/api_manager.h"
#include "app/configuration_answer.h"
#include "app/configuration_manager.h"
#include "offers/eligibility_checker.h"
#include "telemetry/request_base.h"

namespace zelvane {

LoadingOutcome LoadOffers(const std::shared_ptr<ConfigurationManager>& config) {
  LoadingOutcome outcome;
  ApiManager api(*config);
  const nlohmann::json doc = api.RequestConfiguration();
  const ConfigurationAnswer answer = ApplyConfigurationAnswer(doc, *config);
  if (config->wizardType == kWizardDlm && !answer.productUsable) {
    outcome.configError = true;
    return outcome;
  }
  if (!answer.evaluateOffers) return outcome;

  EligibilityChecker checker(config->offerLimit, config);
  for (const nlohmann::json& element : answer.offers) {
    const RequestBase base(*config);
    auto offer = std::make_shared<Package>(base, element, false, std::string(),
                                           static_cast<int>(outcome.offers.size()), config);
    bool stop = false;
    if (checker.Check(offer, stop, outcome.offers)) {
      outcome.offers.push_back(offer);
      config->offerCount += 1;
      if (offer->exclusive) break;
    }
    if (stop) break;
  }
  return outcome;
}

}  // namespace zelvane
