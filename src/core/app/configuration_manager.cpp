#include "app/configuration_manager.h"

#include <algorithm>

#include "app/session_identity.h"

namespace zelvane {

namespace {

std::wstring HttpsUrl(const std::wstring& host, const wchar_t* path) { return L"https://" + host + path; }

}  // namespace

std::wstring ApplicationName(Machine& machine) {
  std::wstring name = machine.ModuleFileName();
  const auto slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const auto dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

int LookUpWizardType(const std::string& name) {
  if (name == "DLM") return kWizardDlm;
  if (name == "ISV") return kWizardIsv;
  return kWizardNone;
}

std::wstring CreateWorkFolder(Machine& machine) {
  const std::wstring name = machine.CreateTempFile(machine.TempPath(), L"ISV");
  if (!name.empty()) {
    (void)machine.RemoveFile(name);
    (void)machine.MakeDirectory(name);
  }
  return name;
}

ConfigurationManager::ConfigurationManager(const BuildProfile& profile, Platform& platform)
    : platform_(platform) {
  wizardType = LookUpWizardType(profile.wizardTypeName);
  if (wizardType == kWizardNone) {
    platform_.ui.ShowMessageBox(L"Unknown wizard type", ApplicationName(platform_.machine), mb::kOk);
  }
  brandedFlow = profile.brandedFlow;
  classicFlow = profile.classicFlow;

  if (const auto version = platform_.machine.ProgramFileVersion()) programVersion = FormatFileVersion(*version);

  configurationUrl = HttpsUrl(profile.contentHost, L"/o");
  analyticsUrl = HttpsUrl(profile.contentHost, L"/zbd");
  fileBaseUrl = HttpsUrl(profile.contentHost, L"/f/");
  publisher = L"Ostrel";
  productId = L"Zelvane_Web";
  sourceId = L"Zelvane_Web_CPP";
  backgroundColour = 0xFFFFFF;
  accentColour = 0x42BC7F;

  if (wizardType == kWizardDlm) ApplyDlmDefaults();
  if (wizardType == kWizardIsv) ApplyIsvDefaults(profile);
}

void ConfigurationManager::ApplyDlmDefaults() {
  Machine& machine = platform_.machine;
  downloadFolder = machine.KnownFolderPath(KnownFolder::Downloads);
  if (downloadFolder.empty()) downloadFolder = machine.DocumentsFolder();
  if (downloadFolder.empty()) downloadFolder = machine.TempPath();
  if (downloadFolder.empty()) downloadFolder = L"C:\\";

  const std::wstring folder = CreateWorkFolder(machine);
  if (machine.IsDirectory(folder)) workFolder = folder;
}

void ConfigurationManager::ApplyIsvDefaults(const BuildProfile& profile) {
  productTitle = L"Zelvane Web";
  primaryDownloadUrl = HttpsUrl(profile.downloadHost, L"/endpoint/zvweb/os/riserollout/track/beta");
  privacyUrl = HttpsUrl(profile.websiteHost, L"/legal/privacy-policy/");
  termsUrl = HttpsUrl(profile.websiteHost, L"/legal/terms-of-use/");
  installerArguments = L"/S";
  launchPath = L"{commonappdata}\\Zelvane Web\\zvweb.exe";
  launchArguments = L"/RUNONSTARTUP";

  const std::wstring folder = CreateWorkFolder(platform_.machine);
  if (platform_.machine.IsDirectory(folder)) {
    downloadFolder = folder;
    workFolder = folder;
  }
}

std::shared_ptr<ConfigurationManager> ConfigurationManager::Instance() {
  static const std::shared_ptr<ConfigurationManager> instance =
      std::make_shared<ConfigurationManager>(CompiledProfile(), SystemPlatform());
  return instance;
}

std::string ConfigurationManager::GetUserId() {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  if (!userId.empty()) return userId;

  RegKey key(platform_.registry);
  if (key.Open(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Cryptography", reg::kRead | reg::kWow64_64Key) !=
      reg::kSuccess) {
    return "";
  }
  RegValue value;
  if (platform_.registry.QueryValueA(key.get(), "MachineGuid", 254, &value) != reg::kSuccess) return "";
  const auto& bytes = value.data;
  std::string guid(bytes.begin(), bytes.end());
  guid.erase(std::min(guid.find('\0'), guid.size()));
  userId = guid;
  return userId;
}

std::string ConfigurationManager::GetSessionTimestamp() {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  if (sessionTimestamp.empty()) {
    Machine& machine = platform_.machine;
    sessionTimestamp = FormatSessionTimestamp(machine, machine.UnixTimeSeconds());
  }
  return sessionTimestamp;
}

void ConfigurationManager::BuildFolderMacros() {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  BuildFolderMacrosLocked();
}

FolderMacroTable ConfigurationManager::GetFolderMacros() {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  BuildFolderMacrosLocked();
  return folderMacros;
}

FolderMacroTable ConfigurationManager::GetFolderMacros64() {
  std::lock_guard<std::mutex> lock(cacheMutex_);
  BuildFolderMacrosLocked();
  return folderMacros64;
}

void ConfigurationManager::BuildFolderMacrosLocked() {
  if (folderMacrosReady) return;
  Machine& machine = platform_.machine;
  const bool wow64 = machine.IsWow64();
  folderMacros.Add(L"commonpf", wow64 ? L"{commonpf64}" : L"{commonpf32}");
  folderMacros.Add(L"localappdata", machine.KnownFolderPath(KnownFolder::LocalAppData));
  folderMacros.Add(L"commonappdata", machine.KnownFolderPath(KnownFolder::RoamingAppData));
  folderMacros.Add(L"programdata", machine.KnownFolderPath(KnownFolder::ProgramData));
  folderMacros.Add(L"commonpf32", machine.KnownFolderPath(KnownFolder::ProgramFilesX86));
  if (machine.IsWow64()) {
    // Read as into a 260-character buffer: a value that does not fit is left out.
    const auto programFiles64 = machine.Environment(L"ProgramW6432");
    if (programFiles64 && !programFiles64->empty() && programFiles64->size() < 260) {
      folderMacros.Add(L"commonpf64", *programFiles64);
      folderMacros64.Add(L"commonpf64", *programFiles64);
    }
  }
  folderMacrosReady = true;
}

}  // namespace zelvane
