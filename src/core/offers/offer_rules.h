#pragma once
// The rule families of the eligibility checker that look at this machine: system resources and
// Windows version, traces of other software (registry, files, processes, installed applications,
// the Chrome browser) and the history rules kept in the registry (uninstall age, Internet Explorer
// version, partner no-show mark).
//
// Each check returns the rejection reason, or nothing when the offer passes; the checker reports the
// reason and rejects. A check whose conditions are at their defaults passes without probing. The
// machine's answers are probed at most once per `OfferRules` (so once per checker): free disk space,
// memory and processor speed once they were read successfully, the process list and the "App Paths"
// index once they are non-empty, each "App Paths" entry once, and the registry layer's software key
// lists once per hive and view. A failed probe is tried again for the next offer.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/folder_macros.h"
#include "offers/registry_layer.h"
#include "ports/machine.h"
#include "ports/registry_api.h"

namespace zelvane {

// The reason an offer is rejected for, or nothing when it passes.
using Rejection = std::optional<std::string>;

// A minimum time since an uninstall, stamped in a registry value.
struct UninstallRule {
  std::wstring root;
  std::wstring key;
  std::wstring valueName;
  std::wstring valueType;
  int minDays = 0;
  bool inMilliseconds = false;
};

class OfferRules {
 public:
  OfferRules(Machine& machine, RegistryApi& registry) : machine_(machine), registry_(registry, machine) {}

  RegistryLayer& registry() { return registry_; }

  // --- System resources ---
  // MiB free to this user on the drive of the default profile's Desktop.
  Rejection CheckDiskSpace(std::int64_t minDiskSpace);
  // MiB of total physical memory.
  Rejection CheckRam(std::int64_t minRam);
  // MHz of the first processor.
  Rejection CheckCpu(std::int64_t minCpu);
  // 61, 62, 63 or 100: at least Windows 7, 8, 8.1 or 10; any other positive code never passes.
  Rejection CheckOsVersion(int osRule);
  // A dotted minimum version of this program, compared number by number with `programVersion`.
  Rejection CheckPlatformVersion(const std::string& platformRule, const std::wstring& programVersion);
  Rejection Check64BitOs(bool requires64BitOs);

  // --- Presence ---
  // Registry key rules ("r" none may exist, "ir" one must), value-name rules ("rvn" none may exist)
  // and value-data rules ("rvd" none may match). Rules are lower-cased here.
  Rejection CheckRegistryRules(const std::vector<std::wstring>& keysAllAbsent,
                               const std::vector<std::wstring>& keysOnePresent,
                               const std::vector<std::wstring>& valueRules,
                               const std::vector<std::wstring>& dataRules);
  // Files of which none may exist and files of which one must.
  Rejection CheckFiles(const std::vector<std::wstring>& filesAllAbsent,
                       const std::vector<std::wstring>& filesOnePresent);
  // Executable names (already in UTF-16) of which none may be running.
  Rejection CheckRunningProcesses(const std::vector<std::wstring>& processNames);
  // "App Paths" names of which all must be installed and none of which may be.
  Rejection CheckInstalledApps(const std::vector<std::wstring>& includedApps,
                               const std::vector<std::wstring>& excludedApps);
  Rejection CheckChrome(bool requiresChrome, bool forbidsChrome, const FolderMacroTable& folderMacros);

  // Stops at an empty rule (false); true when a candidate key of a rule exists.
  bool AnyKeyExists(const std::vector<std::wstring>& rules);
  bool AnyFileExists(const std::vector<std::wstring>& paths);
  // Whether the lower-case "App Paths" name is registered and its default value names a file.
  bool AppInstalled(const std::wstring& name);

  // --- History ---
  Rejection CheckUninstallAge(const std::vector<UninstallRule>& rules);
  Rejection CheckIeVersion(bool requiresModernIe);
  // `registryKey` is the partner's key below HKEY_LOCAL_MACHINE and `valueName` the MD5 hex digest
  // that names the mark; the offer is not shown before the date stored there.
  Rejection CheckPartnerMark(bool enabled, const std::wstring& registryKey, const std::wstring& valueName);

 private:
  struct AppPathEntry {
    RegRoot root;
    std::uint32_t view;
    std::wstring path;
    bool resolved = false;
  };

  Machine& machine_;
  RegistryLayer registry_;
  std::optional<std::uint64_t> freeDiskMiB_;
  std::optional<std::uint64_t> totalRamMiB_;
  std::optional<std::uint32_t> cpuMHz_;
  std::vector<std::wstring> processList_;
  std::multimap<std::wstring, AppPathEntry> appPathsIndex_;
};

}  // namespace zelvane
