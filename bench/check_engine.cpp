// Cost of one pass of the check engine: one checker over 50 offers that use every rule kind, on the
// real registry, files, processes and system facts of the Wine prefix. Prints the median cost per
// offer of several passes (each with a fresh checker, so every probe runs again) and how often each
// probe ran in one pass (the caches should make every count 1).
//
// Run by bench/run inside a throwaway copy of the prefix: it creates a Chromium executable in the
// user's local application data so that the browser rule finds one.

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/configuration_manager.h"
#include "app/system_platform.h"
#include "offers/eligibility_checker.h"
#include "offers/package.h"

namespace zelvane {
namespace {

using json = nlohmann::json;

// The real machine, counting its probes.
class CountingMachine : public win32::SystemMachine {
 public:
  std::map<std::string, int> counts;
  bool FreeDiskBytes(const std::wstring& root, std::uint64_t* bytes, unsigned long* error) override {
    ++counts["disk space"];
    return SystemMachine::FreeDiskBytes(root, bytes, error);
  }
  bool TotalPhysicalMemory(std::uint64_t* bytes, unsigned long* error) override {
    ++counts["memory"];
    return SystemMachine::TotalPhysicalMemory(bytes, error);
  }
  CpuSpeedRead ReadCpuMhz(std::uint32_t* mhz) override {
    ++counts["processor speed"];
    return SystemMachine::ReadCpuMhz(mhz);
  }
  bool RunningProcessNames(std::vector<std::wstring>* names) override {
    ++counts["process list"];
    return SystemMachine::RunningProcessNames(names);
  }
};

// The real registry, counting the reads of the App Paths index (its 32-bit view in HKEY_LOCAL_MACHINE
// stands for the whole index) and the opens of each App Paths entry in any hive and view.
class CountingRegistry : public win32::SystemRegistry {
 public:
  std::map<std::string, int> counts;
  long OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override {
    static const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    if (root == RegRoot::LocalMachine && subKey == kAppPaths && (access & reg::kWow64_64Key) == 0) {
      ++counts["App Paths index"];
    } else if (subKey.compare(0, kAppPaths.size() + 1, kAppPaths + L"\\") == 0) {
      ++counts["App Paths entry " + std::string(subKey.begin() + kAppPaths.size() + 1, subKey.end())];
    }
    ++calls;
    return SystemRegistry::OpenKey(root, subKey, access, key);
  }
  long OpenSubKey(RegHandle parent, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override {
    ++calls;
    return SystemRegistry::OpenSubKey(parent, subKey, access, key);
  }
  long GetValueW(RegHandle key, const std::wstring& subKey, const std::wstring& name, std::uint32_t flags,
                 std::uint32_t* type, void* data, std::uint32_t* bytes) override {
    ++calls;
    return SystemRegistry::GetValueW(key, subKey, name, flags, type, data, bytes);
  }
  long QueryValueTypeW(RegHandle key, const std::wstring& name, std::uint32_t* type) override {
    ++calls;
    return SystemRegistry::QueryValueTypeW(key, name, type);
  }
  long QueryKeyInfo(RegHandle key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyChars) override {
    ++calls;
    return SystemRegistry::QueryKeyInfo(key, subKeys, maxSubKeyChars);
  }
  long EnumKeyW(RegHandle key, std::uint32_t index, std::uint32_t capacity, std::wstring* name) override {
    ++calls;
    return SystemRegistry::EnumKeyW(key, index, capacity, name);
  }
  // Registry calls of every kind (closing excluded).
  long calls = 0;
};

// Accepts every event and keeps the rejection reasons.
class ReasonsTransport : public JsonTransport {
 public:
  bool PostJson(const std::wstring&, const std::string& body, HeaderList, std::string&, std::uint32_t& status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const json record = json::parse(json::parse(body).at("data").get<std::string>());
    reasons_.push_back(record.at("5").get<std::string>() + ": " + record.at("13").get<std::string>());
    status = 200;
    return true;
  }
  std::vector<std::string> reasons() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reasons_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> reasons_;
};

json BenchOffer(int i) {
  const std::string n = std::to_string(i);
  json ps{{"i", "o" + n + ".png"}, {"dn", "Offer {cc} " + n}, {"u", "https://cdn.partner-a.test/o" + n + ".exe"},
          {"v", i}, {"x", 2}, {"disk", 10}, {"ram", 64}, {"cpu", 100}, {"ov", 61}, {"pv", "1.0"},
          {"win64", false},
          {"r", {"hklm\\software\\zelvanebench\\absent" + n, "software\\zelvanebench\\absent"}},
          {"ir", {"hkey_local_machine\\software\\microsoft\\windows nt\\currentversion"}},
          {"rvn", {"hklm\\software\\microsoft\\windows nt\\currentversion\\zelvanebenchvalue" + n}},
          {"rvd", {"hklm\\software\\microsoft\\windows nt\\currentversion\\currentversion\\0.0"}},
          {"fe", {"{commonpf}\\ZelvaneBench\\absent" + n + ".exe", "{programdata}\\ZelvaneBench\\absent.exe"}},
          {"ife", {"{localappdata}\\Chromium\\Application\\chrome.exe"}},
          {"a", {"zelvanebench" + n + ".exe", "notepad"}},
          {"eapp", {"zelvanebench" + n + ".exe"}},
          {"iapp", {"zelvanebench.exe"}},
          {"cmdu", {{{"utr", "HKEY_CURRENT_USER"}, {"utk", "Software\\ZelvaneBench"}, {"utvn", "Uninstalled" + n},
                     {"utvt", "REG_SZ"}, {"umd", 30}}}},
          {"pn", true}, {"pnr", "SOFTWARE\\ZelvaneBench\\Partner"},
          {"cfs", {{"mb", 100}, {"ma", 100}}}};
  return json{{"ad", {{"o", "bench-" + n}, {"f", "feed-" + n}}}, {"ps", ps}};
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int Run(int passes) {
  CountingMachine machine;
  CountingRegistry registry;
  ReasonsTransport transport;
  Platform& system = SystemPlatform();
  Platform platform{machine, registry, system.ui, system.text, system.digests, transport};
  auto config = std::make_shared<ConfigurationManager>(CompiledProfile(), platform);
  config->analyticsUrl = L"https://content.zelvane.test/zbd";

  // The browser rule needs a Chrome: this prefix is a throwaway copy.
  const std::wstring chromium = machine.KnownFolderPath(KnownFolder::LocalAppData) + L"\\Chromium\\Application";
  ::SHCreateDirectoryExW(nullptr, chromium.c_str(), nullptr);
  const std::wstring chrome = chromium + L"\\chrome.exe";
  ::CloseHandle(::CreateFileW(chrome.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  // An installed application for the "iapp" rule, registered for this user.
  ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\zelvanebench.exe",
                    nullptr, REG_SZ, chrome.c_str(), static_cast<DWORD>((chrome.size() + 1) * sizeof(wchar_t)));

  constexpr int kOffers = 50;
  const RequestBase base(*config);
  std::vector<std::shared_ptr<Package>> offers;
  for (int i = 0; i < kOffers; ++i) {
    offers.push_back(std::make_shared<Package>(base, BenchOffer(i), false, "", 0, config));
  }

  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> perOffer, firstOffer, laterOffers;
  long firstCalls = 0, laterCalls = 0;
  int acceptedInLastPass = 0;
  for (int pass = 0; pass <= passes; ++pass) {  // pass 0 warms up and is not measured
    machine.counts.clear();
    registry.counts.clear();
    EligibilityChecker checker(kOffers, config);
    std::vector<std::shared_ptr<Package>> accepted;
    LARGE_INTEGER start, first, end;
    const long callsBefore = registry.calls;
    long callsAfterFirst = 0;
    ::QueryPerformanceCounter(&start);
    for (const auto& offer : offers) {
      offer->position = static_cast<int>(accepted.size());
      bool stop = false;
      if (checker.Check(offer, stop, accepted)) accepted.push_back(offer);
      else if (stop) break;
      if (offer == offers.front()) {
        ::QueryPerformanceCounter(&first);
        callsAfterFirst = registry.calls;
      }
    }
    ::QueryPerformanceCounter(&end);
    if (pass > 0) {
      perOffer.push_back(Milliseconds(start, end, frequency) / kOffers);
      firstOffer.push_back(Milliseconds(start, first, frequency));
      laterOffers.push_back(Milliseconds(first, end, frequency) / (kOffers - 1));
      firstCalls = callsAfterFirst - callsBefore;
      laterCalls = registry.calls - callsAfterFirst;
    }
    acceptedInLastPass = static_cast<int>(accepted.size());
  }
  WaitForEventDeliveries(offers, 15000);
  std::map<std::string, int> counts = machine.counts;  // of the last measured pass
  for (const auto& [name, count] : registry.counts) counts[name] = count;

  // Where the time goes: each step over all offers, on a checker whose caches are filled.
  EligibilityChecker warm(kOffers, config);
  const std::vector<std::shared_ptr<Package>> none;
  for (const auto& offer : offers) {
    bool stop = false;
    warm.Check(offer, stop, none);
  }
  using Step = bool (EligibilityChecker::*)(const std::shared_ptr<Package>&);
  const std::pair<const char*, Step> steps[] = {
      {"registry", &EligibilityChecker::CheckRegistryRules}, {"disk", &EligibilityChecker::CheckDiskSpace},
      {"ram", &EligibilityChecker::CheckRam}, {"cpu", &EligibilityChecker::CheckCpu},
      {"os", &EligibilityChecker::CheckOsVersion}, {"platform", &EligibilityChecker::CheckPlatformVersion},
      {"64-bit", &EligibilityChecker::Check64BitOs}, {"files", &EligibilityChecker::CheckFiles},
      {"processes", &EligibilityChecker::CheckRunningProcesses}, {"apps", &EligibilityChecker::CheckInstalledApps},
      {"uninstall", &EligibilityChecker::CheckUninstallAge}, {"chrome", &EligibilityChecker::CheckChrome},
      {"ie", &EligibilityChecker::CheckIeVersion}, {"partner mark", &EligibilityChecker::CheckPartnerMark},
  };
  for (const auto& [name, step] : steps) {
    LARGE_INTEGER start, end;
    const long callsBefore = registry.calls;
    ::QueryPerformanceCounter(&start);
    for (const auto& offer : offers) (warm.*step)(offer);
    ::QueryPerformanceCounter(&end);
    std::printf("bench: check-engine step %s %.4f ms per offer, %.1f registry calls per offer\n", name,
                Milliseconds(start, end, frequency) / kOffers,
                static_cast<double>(registry.calls - callsBefore) / kOffers);
  }

  const auto median = [](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  std::printf("bench: check-engine first offer %.3f ms with the probes, %ld registry calls\n", median(firstOffer),
              firstCalls);
  std::printf("bench: check-engine later offers %.4f ms each, %.1f registry calls each\n", median(laterOffers),
              static_cast<double>(laterCalls) / (kOffers - 1));
  std::printf("bench: check-engine %.4f ms per offer (median of %d passes over %d offers, target <= 0.2)\n",
              median(perOffer), passes, kOffers);
  std::printf("bench: check-engine accepted %d of %d offers\n", acceptedInLastPass, kOffers);
  bool once = true;
  for (const char* probe : {"disk space", "memory", "processor speed", "process list", "App Paths index"}) {
    std::printf("bench: check-engine probe %s ran %d time(s)\n", probe, counts[probe]);
    once = once && counts[probe] == 1;
  }
  for (const auto& [name, count] : counts) {
    if (name.rfind("App Paths entry ", 0) == 0) {
      std::printf("bench: check-engine probe %s ran %d time(s)\n", name.c_str(), count);
      once = once && count == 1;
    }
  }
  for (const auto& reason : transport.reasons()) std::printf("bench: check-engine rejected %s\n", reason.c_str());
  return once && acceptedInLastPass == kOffers ? 0 : 1;
}

}  // namespace
}  // namespace zelvane

int wmain(int argc, wchar_t** argv) {
  const int passes = argc > 1 ? std::max(1, _wtoi(argv[1])) : 9;
  return zelvane::Run(passes);
}
