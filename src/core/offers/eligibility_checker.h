#pragma once
// One pass of the check engine over the offers of one configuration: decides offer by offer whether
// it may be shown on this machine. The first failing check rejects the offer and its reason is sent as
// event 2; an accepted offer is recorded, and the records feed the later decisions (groups,
// exclusivity, display frequency, the offer limit). Used by one thread only.
//
// Exceptions thrown inside a check (JSON, text conversion, registry layer, number parsing) are not
// caught here: they end the caller's pass over the list.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "offers/offer_rules.h"
#include "offers/package.h"

namespace zelvane {

class ConfigurationManager;

class EligibilityChecker {
 public:
  using PackageList = std::vector<std::shared_ptr<Package>>;

  explicit EligibilityChecker(int maxOffers);
  EligibilityChecker(int maxOffers, std::shared_ptr<ConfigurationManager> config);

  // True when the offer is eligible, after recording it as accepted. False when it is rejected, or
  // when the offer limit is reached; then `stop` is set to true and nothing is reported. `accepted`
  // is the caller's list of offers accepted so far.
  bool Check(const std::shared_ptr<Package>& offer, bool& stop, const PackageList& accepted);

  // Sends event 2 with {"13": reason} while fewer than `maxOffers` offers were accepted.
  void ReportRejection(const std::shared_ptr<Package>& offer, const std::string& reason);
  void RecordAcceptance(const std::shared_ptr<Package>& offer);

  // The checks, in the engine's order after the offer limit. Each returns true when the offer must be
  // rejected, after reporting the reason.
  bool CheckFrequencyRules(const std::shared_ptr<Package>& offer, const PackageList& accepted);
  bool CheckGroup(const std::shared_ptr<Package>& offer);
  bool CheckExclusivity(const std::shared_ptr<Package>& offer);
  bool CheckRegistryRules(const std::shared_ptr<Package>& offer);
  bool CheckDiskSpace(const std::shared_ptr<Package>& offer);
  bool CheckRam(const std::shared_ptr<Package>& offer);
  bool CheckCpu(const std::shared_ptr<Package>& offer);
  bool CheckOsVersion(const std::shared_ptr<Package>& offer);
  bool CheckPlatformVersion(const std::shared_ptr<Package>& offer);
  bool Check64BitOs(const std::shared_ptr<Package>& offer);
  bool CheckFiles(const std::shared_ptr<Package>& offer);
  bool CheckRunningProcesses(const std::shared_ptr<Package>& offer);
  bool CheckInstalledApps(const std::shared_ptr<Package>& offer);
  bool CheckUninstallAge(const std::shared_ptr<Package>& offer);
  bool CheckChrome(const std::shared_ptr<Package>& offer);
  bool CheckIeVersion(const std::shared_ptr<Package>& offer);
  bool CheckPartnerMark(const std::shared_ptr<Package>& offer);

  std::unordered_set<int> acceptedGroups;
  std::vector<std::string> acceptedOfferIds;
  int acceptedCount = 0;
  int maxOffers = 0;

  // The rule families and their probe caches.
  OfferRules& rules() { return rules_; }

 private:
  // Reports `rejection` when there is one; true then.
  bool Rejects(const std::shared_ptr<Package>& offer, const Rejection& rejection);

  std::shared_ptr<ConfigurationManager> config_;
  OfferRules rules_;
  // Facts that do not change during one pass, asked once: whether a Chrome executable is there, the
  // Internet Explorer rule's answer, the name of the partner mark (a digest of the publisher) and the
  // mark rule's answer for each partner key (no mark is written before the pass ends).
  std::optional<bool> chromeFound_;
  std::optional<Rejection> ieRejection_;
  std::optional<std::wstring> partnerMarkName_;
  std::map<std::wstring, Rejection> partnerMarks_;
};

}  // namespace zelvane
