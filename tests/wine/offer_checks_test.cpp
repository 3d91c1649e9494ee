// The offer checks' registry layer and presence checks against the real registry, files and
// processes of the test prefix (a 64-bit Windows: both registry views exist).

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "app/system_platform.h"
#include "common/handles.h"
#include "offers/offer_rules.h"
#include "offers/registry_layer.h"

namespace zelvane {
namespace {

const std::wstring kPid = std::to_wstring(::GetCurrentProcessId());

std::wstring Lower(std::wstring text) { return LowerCase(std::move(text)); }

// Keys below HKEY_LOCAL_MACHINE\Software (or HKEY_CURRENT_USER\Software) made in one view for the
// test and deleted with it. Names carry the process id: tests run side by side.
class ScratchKey {
 public:
  ScratchKey(HKEY hive, const std::wstring& name, REGSAM view) : hive_(hive), name_(name), view_(view) {
    Delete();
    EXPECT_EQ(::RegCreateKeyExW(hive_, (L"Software\\" + name_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_,
                                nullptr, key_.put(), nullptr),
              ERROR_SUCCESS);
  }
  ~ScratchKey() {
    key_.reset();
    Delete();
  }
  HKEY get() const { return key_.get(); }
  void Set(const wchar_t* value, DWORD type, const void* data, DWORD size) const {
    ASSERT_EQ(::RegSetValueExW(key_.get(), value, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  void SetText(const wchar_t* value, const std::wstring& text, DWORD type = REG_SZ) const {
    Set(value, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  void SetDword(const wchar_t* value, DWORD number) const { Set(value, REG_DWORD, &number, sizeof number); }
  void SetQword(const wchar_t* value, ULONGLONG number) const { Set(value, REG_QWORD, &number, sizeof number); }
  HKEY AddSubKey(const std::wstring& path, win32::UniqueRegKey& out) const {
    EXPECT_EQ(::RegCreateKeyExW(key_.get(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr, out.put(),
                                nullptr),
              ERROR_SUCCESS);
    return out.get();
  }

 private:
  void Delete() {
    win32::UniqueRegKey software;
    if (::RegOpenKeyExW(hive_, L"Software", 0, KEY_ALL_ACCESS | view_, software.put()) == ERROR_SUCCESS) {
      ::RegDeleteTreeW(software.get(), name_.c_str());
    }
  }
  HKEY hive_;
  std::wstring name_;
  REGSAM view_;
  win32::UniqueRegKey key_;
};

class OfferChecksOnWindows : public ::testing::Test {
 protected:
  Platform& platform = SystemPlatform();
  OfferRules rules{platform.machine, platform.registry};
  RegistryLayer& layer = rules.registry();
};

TEST_F(OfferChecksOnWindows, KeysInEachView) {
  const std::wstring only64 = L"ZelvaneOffers64_" + kPid;
  const std::wstring only32 = L"ZelvaneOffers32_" + kPid;
  const std::wstring user = L"ZelvaneOffersUser_" + kPid;
  ScratchKey key64(HKEY_LOCAL_MACHINE, only64, KEY_WOW64_64KEY);
  ScratchKey key32(HKEY_LOCAL_MACHINE, only32, KEY_WOW64_32KEY);
  ScratchKey keyUser(HKEY_CURRENT_USER, user, 0);
  win32::UniqueRegKey product;
  key32.AddSubKey(L"Product", product);

  ASSERT_TRUE(layer.Is64BitWindows());
  const auto candidates = layer.ExpandKeyRule(Lower(only64));
  ASSERT_EQ(candidates.size(), 4u);
  EXPECT_TRUE(layer.KeyExists(candidates[0]));
  EXPECT_FALSE(layer.KeyExists(candidates[2]));
  const auto candidates32 = layer.ExpandKeyRule(Lower(only32) + L"\\product");
  EXPECT_FALSE(layer.KeyExists(candidates32[0]));
  EXPECT_TRUE(layer.KeyExists(candidates32[2]));
  EXPECT_FALSE(layer.KeyExists(L"hkey_local_machine\\software\\wow6432node\\" + Lower(only32) + L"\\other"));
  EXPECT_TRUE(layer.KeyExists(L"hkey_current_user\\software\\" + Lower(user)));
  EXPECT_TRUE(layer.KeyExists(L"hkey_local_machine\\system\\currentcontrolset"));

  EXPECT_EQ(rules.CheckRegistryRules({Lower(only64)}, {}, {}, {}), "REGISTRY KEY EXISTS");
  EXPECT_EQ(rules.CheckRegistryRules({L"hklm\\software\\" + only32}, {}, {}, {}), std::nullopt)
      << "a full machine path names the 64-bit view";
  EXPECT_EQ(rules.CheckRegistryRules({L"hklm\\software\\wow6432node\\" + only32}, {}, {}, {}), "REGISTRY KEY EXISTS");
  EXPECT_EQ(rules.CheckRegistryRules({}, {L"nothing_" + kPid, only32 + L"\\PRODUCT"}, {}, {}), std::nullopt);
  EXPECT_EQ(rules.CheckRegistryRules({}, {L"nothing_" + kPid}, {}, {}), "NONE OF THE REGISTRY KEYS EXISTS");
}

TEST_F(OfferChecksOnWindows, ValuesOfEveryType) {
  const std::wstring vendor = L"ZelvaneOffersValues_" + kPid;
  ScratchKey key(HKEY_LOCAL_MACHINE, vendor, KEY_WOW64_32KEY);
  key.SetText(L"Text", L"Yes");
  key.SetText(L"Empty", L"");
  key.SetText(L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
  const wchar_t multi[] = L"a\0b\0";
  key.Set(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
  key.SetDword(L"Seven", 7);
  key.SetQword(L"Big", 1ull << 40);

  struct Case {
    const wchar_t* name;
    bool hasText;
    std::wstring text;
  };
  const Case cases[] = {
      {L"Text", true, L"Yes"},  {L"Empty", true, L""},   {L"Seven", true, L"7"},
      {L"Big", true, L"1099511627776"}, {L"Expand", false, L""}, {L"Multi", false, L""}, {L"Missing", false, L""},
  };
  for (const auto& c : cases) {
    std::wstring text;
    EXPECT_EQ(layer.ReadValueText(L"hkey_local_machine", L"software\\" + Lower(vendor), c.name, text), c.hasText)
        << c.name;
    if (c.hasText) {
      EXPECT_EQ(text, c.text) << c.name;
    }
  }

  std::wstring path = L"hkey_local_machine\\software\\wow6432node\\" + Lower(vendor);
  std::uint32_t access = reg::kRead;
  ASSERT_TRUE(layer.SelectView(path, access));
  const OpenedKey opened = layer.OpenKey(path, access);
  for (const wchar_t* name : {L"Text", L"Empty", L"Expand", L"Multi", L"Seven", L"Big"}) {
    EXPECT_TRUE(layer.ValueExists(opened.get(), name)) << name;
  }
  EXPECT_FALSE(layer.ValueExists(opened.get(), L"Missing"));
  EXPECT_EQ(layer.GetValueType(opened.get(), L"Expand"), static_cast<std::uint32_t>(REG_EXPAND_SZ));
  EXPECT_EQ(layer.GetValueType(opened.get(), L"Missing"), 0u);
  EXPECT_EQ(layer.ReadString(opened.get(), L"", L"Empty"), L"");
  EXPECT_FALSE(layer.ValueDataMatches(opened.get(), L"Expand", REG_EXPAND_SZ, L"%systemroot%\\x"));
  EXPECT_FALSE(layer.ValueDataMatches(opened.get(), L"Multi", REG_MULTI_SZ, L"a"));
  try {
    layer.ReadString(opened.get(), L"", L"Seven");
    ADD_FAILURE();
  } catch (const win32::RegistryError& error) {
    EXPECT_STREQ(error.what(), "Cannot read string from registry");
    EXPECT_EQ(error.code(), ERROR_UNSUPPORTED_TYPE);
  }

  const std::wstring rule = Lower(vendor);
  const auto check = [&](std::vector<std::wstring> rvn, std::vector<std::wstring> rvd) {
    return rules.CheckRegistryRules({}, {}, rvn, rvd);
  };
  EXPECT_EQ(check({rule + L"\\TEXT"}, {}), "REGISTRY VALUE EXISTS");
  EXPECT_EQ(check({rule + L"\\missing"}, {}), std::nullopt);
  EXPECT_EQ(check({}, {rule + L"\\text\\YES"}), "REGISTRY VALUE DATA MATCHES");
  EXPECT_EQ(check({}, {rule + L"\\seven\\7"}), "REGISTRY VALUE DATA MATCHES");
  EXPECT_EQ(check({}, {rule + L"\\big\\1099511627776"}), "REGISTRY VALUE DATA MATCHES");
  EXPECT_EQ(check({}, {rule + L"\\seven\\8", rule + L"\\empty\\x", rule + L"\\expand\\x"}), std::nullopt);
  EXPECT_THROW(check({}, {rule + L"\\seven\\seven"}), std::invalid_argument);
}

TEST_F(OfferChecksOnWindows, EnumeratesSubKeysLowerCased) {
  ScratchKey key(HKEY_CURRENT_USER, L"ZelvaneOffersEnum_" + kPid, 0);
  win32::UniqueRegKey a, b;
  key.AddSubKey(L"Beta", a);
  key.AddSubKey(L"ALPHA.exe", b);
  auto names = layer.EnumSubKeys(reinterpret_cast<RegHandle>(key.get()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"alpha.exe", L"beta"}));
}

TEST_F(OfferChecksOnWindows, HistoryRulesReadTheRegistry) {
  const std::wstring vendor = L"ZelvaneOffersHistory_" + kPid;
  ScratchKey key64(HKEY_LOCAL_MACHINE, vendor, KEY_WOW64_64KEY);
  const auto now = static_cast<ULONGLONG>(platform.machine.UnixTimeSeconds());
  key64.SetQword(L"Removed", now - 86400);
  key64.SetText(L"RemovedMs", std::to_wstring((now - 3 * 86400) * 1000));
  const std::wstring path = L"SOFTWARE\\" + vendor;
  EXPECT_EQ(rules.CheckUninstallAge({{L"HKEY_LOCAL_MACHINE", path, L"Removed", L"", 2, false}}),
            "MIN DAYS UNINSTALL CHECKER");
  EXPECT_EQ(rules.CheckUninstallAge({{L"HKEY_LOCAL_MACHINE", path, L"Removed", L"", 1, false},
                                     {L"HKEY_LOCAL_MACHINE", path, L"RemovedMs", L"", 3, true}}),
            std::nullopt);

  // The partner mark: a DWORD date written through this program's own (32-bit) view.
  ScratchKey partner(HKEY_LOCAL_MACHINE, L"ZelvaneOffersPartner_" + kPid, KEY_WOW64_32KEY);
  const std::wstring partnerKey = L"SOFTWARE\\ZelvaneOffersPartner_" + kPid;
  partner.SetDword(L"0cc175b9c0f1b6a831c399e269772661", 20991231);
  partner.SetDword(L"92eb5ffee6ae2fec3ad71c777531578f", 20000101);
  EXPECT_EQ(rules.CheckPartnerMark(true, partnerKey, L"0cc175b9c0f1b6a831c399e269772661"), "PN NO SHOW");
  EXPECT_EQ(rules.CheckPartnerMark(true, partnerKey, L"92eb5ffee6ae2fec3ad71c777531578f"), std::nullopt);
}

TEST_F(OfferChecksOnWindows, FilesProcessesAndAppPaths) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring file = std::wstring(folder) + L"zelvane_offers_" + kPid + L".exe";
  {
    win32::FileHandle handle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(handle);
  }
  const std::wstring absent = std::wstring(folder) + L"zelvane_absent_" + kPid + L".exe";
  EXPECT_EQ(rules.CheckFiles({absent, file}, {}), "FILE EXISTS");
  EXPECT_EQ(rules.CheckFiles({absent}, {absent, L"{commonpf64}\\x.exe"}), "NONE OF THE FILES EXISTS");
  EXPECT_EQ(rules.CheckFiles({}, {absent, file}), std::nullopt);

  EXPECT_EQ(rules.CheckRunningProcesses({L"zelvane_wine_tests"}), "APPLICATION RUNNING");
  EXPECT_EQ(rules.CheckRunningProcesses({L"ZELVANE_WINE_TESTS.EXE"}), "APPLICATION RUNNING");
  EXPECT_EQ(rules.CheckRunningProcesses({L"zelvane_wine_tests.ex", L"zelvane_wine"}), std::nullopt);

  {
    // Another running program, held suspended, whose name has a dot of its own.
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring probe = std::wstring(folder) + L"zelvane.probe" + kPid + L".exe";
    ASSERT_TRUE(::CopyFileW(self, probe.c_str(), FALSE));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + probe + L"\" --gtest_list_tests";
    ASSERT_TRUE(::CreateProcessW(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                 nullptr, nullptr, &startup, &started));
    win32::KernelHandle process(started.hProcess), thread(started.hThread);
    OfferRules fresh(platform.machine, platform.registry);  // a snapshot taken now
    EXPECT_EQ(fresh.CheckRunningProcesses({L"zelvane.PROBE" + kPid}), "APPLICATION RUNNING");
    EXPECT_EQ(fresh.CheckRunningProcesses({L"zelvane.probe" + kPid + L".exe"}), "APPLICATION RUNNING");
    EXPECT_EQ(fresh.CheckRunningProcesses({L"zelvane"}), std::nullopt);
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 10000);
    process.reset();
    thread.reset();
    ::DeleteFileW(probe.c_str());
  }
  {
    // A fresh checker, so that the App Paths index is read with these entries in it.
    OfferRules fresh(platform.machine, platform.registry);
    const std::wstring appPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    const std::wstring present = L"zelvanepresent" + kPid + L".exe";
    const std::wstring quoted = L"zelvanequoted" + kPid + L".exe";
    win32::UniqueRegKey presentKey, quotedKey;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (appPaths + present).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, presentKey.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (appPaths + quoted).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, quotedKey.put(), nullptr),
              ERROR_SUCCESS);
    const std::wstring quotedFile = L"\"" + file + L"\"";
    ::RegSetValueExW(presentKey.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                     static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    ::RegSetValueExW(quotedKey.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(quotedFile.c_str()),
                     static_cast<DWORD>((quotedFile.size() + 1) * sizeof(wchar_t)));
    EXPECT_TRUE(fresh.AppInstalled(present));
    EXPECT_FALSE(fresh.AppInstalled(quoted));
    EXPECT_EQ(fresh.CheckInstalledApps({present}, {quoted}), std::nullopt);
    EXPECT_EQ(fresh.CheckInstalledApps({present}, {present}), "REGISTRY EXCLUDE APP FOUND");
    presentKey.reset();
    quotedKey.reset();
    ::RegDeleteKeyW(HKEY_CURRENT_USER, (appPaths + present).c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, (appPaths + quoted).c_str());
  }
  ::DeleteFileW(file.c_str());
}

TEST_F(OfferChecksOnWindows, SystemProbesAnswer) {
  EXPECT_EQ(rules.CheckDiskSpace(1), std::nullopt);
  EXPECT_EQ(rules.CheckDiskSpace(1ll << 40), "NOT ENOUGH DISK SPACE");
  EXPECT_EQ(rules.CheckRam(64), std::nullopt);
  EXPECT_EQ(rules.CheckRam(1ll << 40), "NOT ENOUGH RAM");
  EXPECT_EQ(rules.CheckCpu(1), std::nullopt);
  EXPECT_EQ(rules.CheckCpu(1ll << 40), "NOT ENOUGH CPU");
  EXPECT_EQ(rules.CheckOsVersion(61), std::nullopt) << "the prefix is Windows 7 SP1 or later";
  EXPECT_EQ(rules.CheckOsVersion(64), "UNSUPPORTED OS VERSION");
  EXPECT_EQ(rules.Check64BitOs(true), std::nullopt);
  EXPECT_TRUE(platform.machine.IsWindowsVersionOrGreater(6, 1, 0));
  EXPECT_FALSE(platform.machine.IsWindowsVersionOrGreater(99, 0, 0));
  EXPECT_FALSE(platform.machine.DefaultProfileDesktop().empty());
}

}  // namespace
}  // namespace zelvane
