#pragma once
// The process-wide record of this run: compiled product and endpoint constants, colours, remote
// values and the user's choices. Every subsystem reads and writes its public fields directly.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/build_profile.h"
#include "app/folder_macros.h"
#include "ports/platform.h"

namespace Gdiplus {
class Image;
}

namespace zelvane {

class Package;

enum WizardType : int {
  kWizardNone = 0,
  kWizardDlm = 1,
  kWizardIsv = 2,
};

// "DLM" -> 1, "ISV" -> 2, exact and case-sensitive; 0 for anything else.
int LookUpWizardType(const std::string& name);

// The application's default caption: the program's file name without folder and extension.
std::wstring ApplicationName(Machine& machine);

// A fresh, uniquely named "ISV…" directory under the temporary path. The name is returned whether or
// not it could be made; the caller tests that the directory exists.
std::wstring CreateWorkFolder(Machine& machine);

class ConfigurationManager {
 public:
  using Colour = std::uint32_t;  // 0x00BBGGRR

  // Builds the record for the profile. An unknown wizard type name shows "Unknown wizard type".
  ConfigurationManager(const BuildProfile& profile, Platform& platform);
  ConfigurationManager(const ConfigurationManager&) = delete;
  ConfigurationManager& operator=(const ConfigurationManager&) = delete;

  // The record of this process, built on the first call from the compiled profile.
  static std::shared_ptr<ConfigurationManager> Instance();

  // The machine's MachineGuid (64-bit registry view), cached once read; "" when it cannot be read.
  std::string GetUserId();
  // Local time of the first successful request in this run, "%Y%m%d%H%M%S".
  std::string GetSessionTimestamp();
  // Fills both folder macro tables, once.
  void BuildFolderMacros();
  FolderMacroTable GetFolderMacros();
  FolderMacroTable GetFolderMacros64();
  void SetDownloadedFilePath(const std::wstring& path) { downloadedFilePath = path; }
  // The ports this record was built on.
  Platform& GetPlatform() { return platform_; }

  int wizardType = kWizardNone;
  bool brandedFlow = true;
  bool classicFlow = false;
  bool reportPrimaryFailure = true;
  std::wstring productTitle;
  std::wstring primaryDownloadUrl;
  std::wstring logoUrl;
  std::wstring privacyUrl;
  std::wstring termsUrl;
  std::wstring licenseUrl;
  std::wstring downloadFolder;
  std::wstring primaryFileName;
  std::wstring workFolder;
  std::wstring installerArguments;
  std::array<bool, 8> classicOptions{};
  std::wstring launchPath;
  std::wstring launchArguments;
  std::wstring productId;
  std::wstring downloadedFilePath;
  std::wstring programVersion;
  std::wstring configurationUrl;
  std::wstring analyticsUrl;
  std::wstring publisher;
  std::wstring sourceId;
  std::wstring chValue;
  std::wstring cflValue;
  Colour backgroundColour = 0;
  Colour accentColour = 0;
  int offerLimit = 0;
  int offerLimitAdjustment = 0;
  int offerCount = 0;
  std::wstring fileBaseUrl;
  std::wstring language;
  std::wstring languageCode;
  std::string countryCode;
  std::string pubId;
  std::string ispb;
  std::vector<std::shared_ptr<Package>> acceptedPackages;
  std::vector<std::shared_ptr<Package>> shownPackages;
  std::shared_ptr<Package> primaryPackage;
  std::shared_ptr<Gdiplus::Image> logoImage;
  std::string sessionTimestamp;
  std::string userId;
  FolderMacroTable folderMacros;
  FolderMacroTable folderMacros64;
  bool folderMacrosReady = false;
  bool closing = false;
  bool offerDeclined = false;

 private:
  void ApplyDlmDefaults();
  void ApplyIsvDefaults(const BuildProfile& profile);
  void BuildFolderMacrosLocked();

  Platform& platform_;
  // Guards the first fill of the lazy caches, which any thread may ask for.
  std::mutex cacheMutex_;
};

}  // namespace zelvane
