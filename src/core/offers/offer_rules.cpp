#include "offers/offer_rules.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <cwchar>
#include <cwctype>

#include "app/text_encoding.h"
#include "offers/standard_conversions.h"

namespace zelvane {

namespace {

using win32::RegistryError;

const wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// The leading decimal number of a text as the C library's _wtoi reads it: blanks and a sign first,
// 0 without digits, the int limits on overflow.
int LeadingInt(const std::wstring& text) {
  std::size_t at = 0;
  while (at < text.size() && std::iswspace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
  long long value = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    value = value * 10 + (text[at] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// A calendar date as "YYYYMMDD", each field padded with zeros to its width ("%04d%02d%02d").
std::wstring DateStamp(const std::tm& date) {
  const auto field = [](int value, std::size_t width) {
    std::wstring digits = DecimalText(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), L'0');
    return digits;
  };
  return field(date.tm_year + 1900, 4) + field(date.tm_mon + 1, 2) + field(date.tm_mday, 2);
}

std::vector<int> VersionNumbers(const std::wstring& version) {
  std::vector<int> numbers;
  std::size_t begin = 0;
  while (begin <= version.size()) {
    std::size_t end = version.find(L'.', begin);
    if (end == std::wstring::npos) end = version.size();
    if (end > begin) numbers.push_back(LeadingInt(version.substr(begin, end - begin)));
    begin = end + 1;
  }
  return numbers;
}

// Splits at the last "\"; false when there is none.
bool SplitLast(const std::wstring& text, std::wstring& head, std::wstring& tail) {
  const auto at = text.rfind(L'\\');
  if (at == std::wstring::npos) return false;
  head = text.substr(0, at);
  tail = text.substr(at + 1);
  return true;
}

}  // namespace

// --- System resources ---

Rejection OfferRules::CheckDiskSpace(std::int64_t minDiskSpace) {
  if (minDiskSpace == 0) return std::nullopt;
  if (!freeDiskMiB_) {
    const std::wstring root = machine_.DefaultProfileDesktop().substr(0, 3);
    std::uint64_t bytes = 0;
    unsigned long error = 0;
    if (!machine_.FreeDiskBytes(root, &bytes, &error)) {
      std::string reason = "DISK SPACE CHECK FAILED {}";
      return reason.replace(reason.find("{}"), 2, std::to_string(error));
    }
    freeDiskMiB_ = bytes >> 20;
  }
  if (*freeDiskMiB_ >= static_cast<std::uint64_t>(minDiskSpace)) return std::nullopt;
  return "NOT ENOUGH DISK SPACE";
}

Rejection OfferRules::CheckRam(std::int64_t minRam) {
  if (minRam == 0) return std::nullopt;
  if (!totalRamMiB_) {
    std::uint64_t bytes = 0;
    unsigned long error = 0;
    if (!machine_.TotalPhysicalMemory(&bytes, &error)) return "RAM CHECK FAILED " + std::to_string(error);
    totalRamMiB_ = bytes >> 20;
  }
  if (*totalRamMiB_ >= static_cast<std::uint64_t>(minRam)) return std::nullopt;
  return "NOT ENOUGH RAM";
}

Rejection OfferRules::CheckCpu(std::int64_t minCpu) {
  if (minCpu == 0) return std::nullopt;
  if (!cpuMHz_) {
    std::uint32_t mhz = 0;
    switch (machine_.ReadCpuMhz(&mhz)) {
      case CpuSpeedRead::CannotOpenKey: return "CPU CHECK FAILED: Couldn't open registry";
      case CpuSpeedRead::CannotReadValue: return "CPU CHECK FAILED: Couldn't read value";
      case CpuSpeedRead::Ok: break;
    }
    cpuMHz_ = mhz;
  }
  if (static_cast<std::uint64_t>(*cpuMHz_) >= static_cast<std::uint64_t>(minCpu)) return std::nullopt;
  return "NOT ENOUGH CPU";
}

Rejection OfferRules::CheckOsVersion(int osRule) {
  if (osRule < 1) return std::nullopt;
  unsigned major = 0;
  unsigned minor = 0;
  switch (osRule) {
    case 61: major = 6, minor = 1; break;
    case 62: major = 6, minor = 2; break;
    case 63: major = 6, minor = 3; break;
    case 100: major = 10, minor = 0; break;
    default: return "UNSUPPORTED OS VERSION";
  }
  if (machine_.IsWindowsVersionOrGreater(static_cast<std::uint16_t>(major), static_cast<std::uint16_t>(minor), 0)) return std::nullopt;
  return "UNSUPPORTED OS VERSION";
}

Rejection OfferRules::CheckPlatformVersion(const std::string& platformRule, const std::wstring& programVersion) {
  if (platformRule.empty()) return std::nullopt;
  // Byte by byte into UTF-16: the digits, signs, blanks and dots that the comparison reads are the
  // same characters in every ANSI code page, and any other character reads as no digit.
  std::wstring rule;
  for (const char c : platformRule) {
    const auto byte = static_cast<unsigned char>(c);
    rule.push_back(byte < 0x80 ? static_cast<wchar_t>(byte) : L'?');
  }
  const auto wanted = VersionNumbers(rule);
  const auto have = VersionNumbers(programVersion);
  for (std::size_t i = 0; i < wanted.size() || i < have.size(); ++i) {
    const int w = i < wanted.size() ? wanted[i] : 0;
    const int h = i < have.size() ? have[i] : 0;
    if (w > h) return "UNSUPPORTED PLATFORM VERSION";
    if (w < h) return std::nullopt;
  }
  return std::nullopt;
}

Rejection OfferRules::Check64BitOs(bool requires64BitOs) {
  if (!requires64BitOs || machine_.IsWow64()) return std::nullopt;
  return "64 BIT OS REQUIRED";
}

// --- Presence ---

bool OfferRules::AnyKeyExists(const std::vector<std::wstring>& rules) {
  for (const auto& rule : rules) {
    const auto candidates = registry_.ExpandKeyRule(LowerCase(rule));
    if (candidates.empty()) return false;
    for (const auto& candidate : candidates) {
      if (registry_.KeyExists(candidate)) return true;
    }
  }
  return false;
}

Rejection OfferRules::CheckRegistryRules(const std::vector<std::wstring>& keysAllAbsent,
                                         const std::vector<std::wstring>& keysOnePresent,
                                         const std::vector<std::wstring>& valueRules,
                                         const std::vector<std::wstring>& dataRules) {
  if (!keysAllAbsent.empty() && AnyKeyExists(keysAllAbsent)) return "REGISTRY KEY EXISTS";
  if (!keysOnePresent.empty() && !AnyKeyExists(keysOnePresent)) return "NONE OF THE REGISTRY KEYS EXISTS";

  // Opens the key of a candidate in its view; nothing when it is missing or cannot be opened.
  const auto openCandidate = [this](std::wstring keyPath) -> std::optional<OpenedKey> {
    if (!registry_.KeyExists(keyPath)) return std::nullopt;
    std::uint32_t access = reg::kRead;
    if (!registry_.SelectView(keyPath, access)) return std::nullopt;
    try {
      return registry_.OpenKey(keyPath, access);
    } catch (const RegistryError&) {
      return std::nullopt;
    }
  };

  for (const auto& rule : valueRules) {
    const auto candidates = registry_.ExpandKeyRule(LowerCase(rule));
    if (candidates.empty()) break;
    for (const auto& candidate : candidates) {
      std::wstring keyPath, valueName;
      if (!SplitLast(candidate, keyPath, valueName)) continue;
      const auto key = openCandidate(keyPath);
      if (key && registry_.ValueExists(key->get(), valueName)) return "REGISTRY VALUE EXISTS";
    }
  }

  for (const auto& rule : dataRules) {
    for (const auto& candidate : registry_.ExpandKeyRule(LowerCase(rule))) {
      std::wstring rest, expected, keyPath, valueName;
      if (!SplitLast(candidate, rest, expected) || !SplitLast(rest, keyPath, valueName)) continue;
      const auto key = openCandidate(keyPath);
      if (!key || !registry_.ValueExists(key->get(), valueName)) continue;
      const std::uint32_t type = registry_.GetValueType(key->get(), valueName);
      // A failed read of the data, or expected data that is no number, ends the whole check.
      if (type != 0 && registry_.ValueDataMatches(key->get(), valueName, type, expected)) {
        return "REGISTRY VALUE DATA MATCHES";
      }
    }
  }
  return std::nullopt;
}

bool OfferRules::AnyFileExists(const std::vector<std::wstring>& paths) {
  for (const auto& path : paths) {
    if (machine_.PathExists(path)) return true;
  }
  return false;
}

Rejection OfferRules::CheckFiles(const std::vector<std::wstring>& filesAllAbsent,
                                 const std::vector<std::wstring>& filesOnePresent) {
  if (!filesAllAbsent.empty() && AnyFileExists(filesAllAbsent)) return "FILE EXISTS";
  if (!filesOnePresent.empty() && !AnyFileExists(filesOnePresent)) return "NONE OF THE FILES EXISTS";
  return std::nullopt;
}

Rejection OfferRules::CheckRunningProcesses(const std::vector<std::wstring>& processNames) {
  if (processNames.empty()) return std::nullopt;
  if (processList_.empty()) {
    std::vector<std::wstring> names;
    if (machine_.RunningProcessNames(&names)) processList_ = std::move(names);
  }
  const auto dots = [](const std::wstring& text) { return std::count(text.begin(), text.end(), L'.'); };
  for (const auto& rule : processNames) {
    const std::wstring name = LowerCase(rule);
    const auto ruleDots = dots(name);
    for (const auto& process : processList_) {
      std::wstring candidate = LowerCase(process);
      if (dots(candidate) > ruleDots) candidate.erase(candidate.rfind(L'.'));
      if (candidate == name) return "APPLICATION RUNNING";
    }
  }
  return std::nullopt;
}

bool OfferRules::AppInstalled(const std::wstring& name) {
  if (appPathsIndex_.empty()) {
    std::vector<std::uint32_t> views{0};
    if (registry_.Is64BitWindows()) views.push_back(reg::kWow64_64Key);
    for (const RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser}) {
      for (const std::uint32_t view : views) {
        try {
          const OpenedKey key = registry_.OpenKey(root, kAppPaths, reg::kRead | view);
          for (auto& app : registry_.EnumSubKeys(key.get())) {
            appPathsIndex_.emplace(app, AppPathEntry{root, view, L"", false});
          }
        } catch (const RegistryError&) {
        }
      }
    }
  }
  const auto [first, last] = appPathsIndex_.equal_range(name);
  for (auto it = first; it != last; ++it) {
    AppPathEntry& entry = it->second;
    if (!entry.resolved) {
      try {
        const OpenedKey key =
            registry_.OpenKey(entry.root, std::wstring(kAppPaths) + L"\\" + name, reg::kRead | entry.view);
        entry.path = registry_.ReadString(key.get(), L"", L"");
      } catch (const RegistryError&) {
        entry.path.clear();
      }
      entry.resolved = true;
    }
    // Taken as it is: a quoted path names no file.
    if (!entry.path.empty() && machine_.PathExists(entry.path)) return true;
  }
  return false;
}

Rejection OfferRules::CheckInstalledApps(const std::vector<std::wstring>& includedApps,
                                         const std::vector<std::wstring>& excludedApps) {
  for (const auto& app : includedApps) {
    if (!AppInstalled(app)) return "REGISTRY INCLUDE APP NOT FOUND";
  }
  for (const auto& app : excludedApps) {
    if (AppInstalled(app)) return "REGISTRY EXCLUDE APP FOUND";
  }
  return std::nullopt;
}

Rejection OfferRules::CheckChrome(bool requiresChrome, bool forbidsChrome, const FolderMacroTable& folderMacros) {
  if (!requiresChrome && !forbidsChrome) return std::nullopt;
  std::vector<std::wstring> candidates{L"{commonpf}\\Chromium\\Application\\chrome.exe",
                                       L"{commonpf}\\Google\\Chrome\\Application\\chrome.exe",
                                       L"{localappdata}\\Chromium\\Application\\chrome.exe"};
  for (auto& candidate : candidates) ExpandFolderMacros(candidate, folderMacros);
  std::wstring text;
  if (registry_.ReadValueText(L"hkey_local_machine",
                              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe", L"Path", text)) {
    candidates.push_back(text + L"\\chrome.exe");
  }
  if (registry_.ReadValueText(L"hkey_current_user", L"SOFTWARE\\Google\\Chrome\\BLBeacon", L"Path", text)) {
    candidates.push_back(text);
  }
  const bool found = AnyFileExists(candidates);
  if (requiresChrome && !found) return "NC";
  if (forbidsChrome && found) return "HC";
  return std::nullopt;
}

// --- History ---

Rejection OfferRules::CheckUninstallAge(const std::vector<UninstallRule>& rules) {
  for (const auto& rule : rules) {
    std::wstring text;
    if (!registry_.ReadValueText(LowerCase(rule.root), LowerCase(rule.key), LowerCase(rule.valueName), text)) {
      continue;
    }
    const std::uint64_t number = StoullText(text);
    const std::uint64_t timestamp = rule.inMilliseconds ? number / 1000 : number;
    // The day count times 86400 is a 32-bit product, as the rule's stored format has always had it.
    const auto span = static_cast<std::int32_t>(static_cast<std::uint32_t>(rule.minDays) * 86400u);
    const std::uint64_t until = timestamp + static_cast<std::uint64_t>(static_cast<std::int64_t>(span));
    if (static_cast<std::uint64_t>(machine_.UnixTimeSeconds()) < until) return "MIN DAYS UNINSTALL CHECKER";
  }
  return std::nullopt;
}

Rejection OfferRules::CheckIeVersion(bool requiresModernIe) {
  if (!requiresModernIe) return std::nullopt;
  std::wstring text;
  if (!registry_.ReadValueText(L"hkey_local_machine", L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version", text)) {
    return std::nullopt;
  }
  if (StofText(text) * 10 < 90) return "OLD IE VERSION";
  return std::nullopt;
}

Rejection OfferRules::CheckPartnerMark(bool enabled, const std::wstring& registryKey, const std::wstring& valueName) {
  if (!enabled) return std::nullopt;
  std::wstring stored;
  if (!registry_.ReadValueText(L"hkey_local_machine", registryKey, valueName, stored)) return std::nullopt;
  std::tm local{};
  std::wstring today;
  if (machine_.ToLocalTime(machine_.UnixTimeSeconds(), &local)) today = DateStamp(local);
  if (today < stored) return "PN NO SHOW";
  return std::nullopt;
}

}  // namespace zelvane
