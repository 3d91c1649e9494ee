#include "offers/eligibility_checker.h"

#include "app/configuration_manager.h"
#include "offers/frequency_rules.h"
#include "telemetry/encoding.h"
#include "telemetry/text_digest.h"

namespace zelvane {

EligibilityChecker::EligibilityChecker(int limit) : EligibilityChecker(limit, ConfigurationManager::Instance()) {}

EligibilityChecker::EligibilityChecker(int limit, std::shared_ptr<ConfigurationManager> config)
    : maxOffers(limit),
      config_(std::move(config)),
      rules_(config_->GetPlatform().machine, config_->GetPlatform().registry) {}

bool EligibilityChecker::Check(const std::shared_ptr<Package>& offer, bool& stop, const PackageList& accepted) {
  if (acceptedCount >= maxOffers + config_->offerLimitAdjustment) {
    stop = true;
    return false;
  }
  if (CheckFrequencyRules(offer, accepted) || CheckGroup(offer) || CheckExclusivity(offer) ||
      CheckRegistryRules(offer) || CheckDiskSpace(offer) || CheckRam(offer) || CheckCpu(offer) ||
      CheckOsVersion(offer) || CheckPlatformVersion(offer) || Check64BitOs(offer) || CheckFiles(offer) ||
      CheckRunningProcesses(offer) || CheckInstalledApps(offer) || CheckUninstallAge(offer) || CheckChrome(offer) ||
      CheckIeVersion(offer) || CheckPartnerMark(offer)) {
    return false;
  }
  RecordAcceptance(offer);
  return true;
}

void EligibilityChecker::ReportRejection(const std::shared_ptr<Package>& offer, const std::string& reason) {
  if (acceptedCount < maxOffers) offer->SendEvent(2, nlohmann::json{{"13", reason}});
}

void EligibilityChecker::RecordAcceptance(const std::shared_ptr<Package>& offer) {
  ++acceptedCount;
  acceptedGroups.insert(offer->offerGroup);
  acceptedOfferIds.push_back(offer->offerId);
  if (offer->partnerSettings.sied && acceptedCount > 1) ++config_->offerLimitAdjustment;
}

bool EligibilityChecker::Rejects(const std::shared_ptr<Package>& offer, const Rejection& rejection) {
  if (!rejection) return false;
  ReportRejection(offer, *rejection);
  return true;
}

bool EligibilityChecker::CheckFrequencyRules(const std::shared_ptr<Package>& offer, const PackageList& accepted) {
  const AcceptanceRecords records{acceptedCount, acceptedOfferIds, config_->offerLimitAdjustment};
  return Rejects(offer, zelvane::CheckFrequencyRules(*offer, accepted, records,
                                                     [](const std::string& id) { return Base62EncodeText(id); }));
}

bool EligibilityChecker::CheckGroup(const std::shared_ptr<Package>& offer) {
  const int group = offer->offerGroup;
  if (acceptedGroups.count(group) == 0) return false;
  return Rejects(offer, group == -1 ? "MOWOV" : "SVOAP");
}

bool EligibilityChecker::CheckExclusivity(const std::shared_ptr<Package>& offer) {
  if (!offer->exclusive || acceptedCount == 0) return false;
  return Rejects(offer, "EBAOAP");
}

bool EligibilityChecker::CheckRegistryRules(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckRegistryRules(offer->registryKeysAllAbsent, offer->registryKeysOnePresent,
                                                  offer->registryValueRules, offer->registryDataRules));
}

bool EligibilityChecker::CheckDiskSpace(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckDiskSpace(offer->minDiskSpace));
}

bool EligibilityChecker::CheckRam(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckRam(offer->minRam));
}

bool EligibilityChecker::CheckCpu(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckCpu(offer->minCpu));
}

bool EligibilityChecker::CheckOsVersion(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckOsVersion(offer->osRule));
}

bool EligibilityChecker::CheckPlatformVersion(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckPlatformVersion(offer->platformRule, config_->programVersion));
}

bool EligibilityChecker::Check64BitOs(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.Check64BitOs(offer->requires64BitOs));
}

bool EligibilityChecker::CheckFiles(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckFiles(offer->filesAllAbsent, offer->filesOnePresent));
}

bool EligibilityChecker::CheckRunningProcesses(const std::shared_ptr<Package>& offer) {
  if (offer->processNames.empty()) return false;
  TextCodec& text = config_->GetPlatform().text;
  std::vector<std::wstring> names;
  names.reserve(offer->processNames.size());
  for (const auto& name : offer->processNames) names.push_back(text.ToWide(name, CodePage::SystemAnsi));
  return Rejects(offer, rules_.CheckRunningProcesses(names));
}

bool EligibilityChecker::CheckInstalledApps(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckInstalledApps(offer->includedApps, offer->excludedApps));
}

bool EligibilityChecker::CheckUninstallAge(const std::shared_ptr<Package>& offer) {
  return Rejects(offer, rules_.CheckUninstallAge(offer->uninstallRules));
}

bool EligibilityChecker::CheckChrome(const std::shared_ptr<Package>& offer) {
  if (!offer->requiresChrome && !offer->forbidsChrome) return false;
  // The rule asked to require Chrome passes exactly when one is found.
  if (!chromeFound_) chromeFound_ = !rules_.CheckChrome(true, false, config_->GetFolderMacros()).has_value();
  if (offer->requiresChrome && !*chromeFound_) return Rejects(offer, "NC");
  if (offer->forbidsChrome && *chromeFound_) return Rejects(offer, "HC");
  return false;
}

bool EligibilityChecker::CheckIeVersion(const std::shared_ptr<Package>& offer) {
  if (!offer->requiresModernIe) return false;
  if (!ieRejection_) ieRejection_ = rules_.CheckIeVersion(true);
  return Rejects(offer, *ieRejection_);
}

bool EligibilityChecker::CheckPartnerMark(const std::shared_ptr<Package>& offer) {
  const PartnerSettings& settings = offer->partnerSettings;
  if (!settings.enabled) return false;
  Platform& platform = config_->GetPlatform();
  if (!partnerMarkName_) partnerMarkName_ = Utf8ToWide(platform.text, Md5Hex(platform, config_->publisher));
  const std::wstring key = Utf8ToWide(platform.text, settings.registryKey);
  auto mark = partnerMarks_.find(key);
  if (mark == partnerMarks_.end()) {
    mark = partnerMarks_.emplace(key, rules_.CheckPartnerMark(true, key, *partnerMarkName_)).first;
  }
  return Rejects(offer, mark->second);
}

}  // namespace zelvane
