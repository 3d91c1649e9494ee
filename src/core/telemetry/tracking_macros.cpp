#include "telemetry/tracking_macros.h"

#include <ctime>
#include <exception>

#include "app/configuration_manager.h"
#include "app/session_identity.h"
#include "telemetry/encoding.h"
#include "telemetry/json_number.h"
#include "telemetry/text_digest.h"

namespace zelvane {

namespace {

std::string StringOr(const nlohmann::json& object, const char* key, const std::string& absent) {
  return object.contains(key) ? object[key].get<std::string>() : absent;
}

// The per-OS parameter: the member named by the running version ("10.0", "6.1"), else "default".
std::string PartnerParameter(const nlohmann::json& pnrp, Machine& machine) {
  const auto version = machine.GetOsVersion();
  const std::string v = version ? std::to_string(version->major) + "." + std::to_string(version->minor) : "";
  const std::string fallback = pnrp.is_object() && pnrp.contains("default") ? pnrp["default"].get<std::string>() : "";
  if (pnrp.is_object() && pnrp.contains(v)) return pnrp[v].get<std::string>();
  return fallback;
}

}  // namespace

void AddMacro(MacroTable& macros, const std::string& name, const std::string& value) { macros.emplace(name, value); }

void AddTrackingMacros(MacroTable& macros, ConfigurationManager& config) {
  const auto addIfSet = [&macros](const char* name, const std::string& value) {
    if (!value.empty()) AddMacro(macros, name, value);
  };
  addIfSet("userid", config.GetUserId());
  addIfSet("sessionid", config.GetSessionTimestamp());
  addIfSet("cc", config.countryCode);
  addIfSet("pubid", config.pubId);
  addIfSet("ispb", config.ispb);
  AddMacro(macros, "aflt", CountryAffiliateId(config.countryCode));
}

void ReadPartnerSettings(const nlohmann::json& ps, PartnerSettings& settings, MacroTable& macros,
                         ConfigurationManager& config) {
  settings.enabled = false;
  if (!ps.is_object() || !ps.contains("pn")) return;
  settings.enabled = ps["pn"].get<bool>();
  if (!settings.enabled) return;

  settings.apiUrl = StringOr(ps, "pnau", "");
  settings.apiKey = StringOr(ps, "pnak", "");
  settings.registryKey = StringOr(ps, "pnr", "");
  settings.op = StringOr(ps, "pnop", "");
  settings.si = ps.contains("pnsi") ? ps["pnsi"].get<bool>() : false;
  settings.la = StringOr(ps, "la", "");

  Platform& platform = config.GetPlatform();
  if (ps.contains("pnrp")) AddMacro(macros, "pnrparam", PartnerParameter(ps["pnrp"], platform.machine));

  settings.stubParams = ps.contains("sp") ? ExpandMacros(macros, ps["sp"].get<std::string>()) : "";

  AddMacro(macros, "pnstubparams", settings.stubParams);
  AddMacro(macros, "pnapiurl", settings.apiUrl);
  AddMacro(macros, "pnapikey", settings.apiKey);
  AddMacro(macros, "pnop", settings.op);
  AddMacro(macros, "account", platform.text.ToNarrow(config.publisher, CodePage::Utf8));
  AddMacro(macros, "installer", platform.text.ToNarrow(config.productId, CodePage::Utf8));
  AddMacro(macros, "pnsid", CurrentTimeMillis(platform.machine));

  if (ps.contains("cfs") && ps["cfs"].is_object()) {
    const nlohmann::json& cfs = ps["cfs"];
    if (cfs.contains("mb")) settings.mb = JsonToInt(cfs["mb"]);
    if (cfs.contains("ab")) settings.ab = cfs["ab"].get<std::vector<std::string>>();
    if (cfs.contains("ma")) settings.ma = JsonToInt(cfs["ma"]);
    if (cfs.contains("aa")) settings.aa = cfs["aa"].get<std::vector<std::string>>();
    if (cfs.contains("mo")) settings.mo = JsonToInt(cfs["mo"]);
    if (cfs.contains("saad")) settings.saad = cfs["saad"].get<bool>();
    if (cfs.contains("sied")) settings.sied = cfs["sied"].get<bool>();
  }
}

std::string ExpandMacros(const MacroTable& macros, const std::string& text) {
  std::string result = text;
  for (const auto& [name, value] : macros) {
    const std::string pattern = "{" + name + "}";
    for (auto at = result.find(pattern); at != std::string::npos; at = result.find(pattern, at + value.size())) {
      result.replace(at, pattern.size(), value);
    }
  }
  return result;
}

int NoShowUntilDate(Machine& machine) {
  constexpr std::int64_t k180Days100ns = 180LL * 864000000000LL;
  const std::int64_t seconds = (machine.UnixTime100ns() + k180Days100ns) / 10000000;
  std::tm local{};
  char text[16] = {};
  if (machine.ToLocalTime(seconds, &local)) std::strftime(text, sizeof text, "%Y%m%d", &local);
  return static_cast<int>(std::stoll(text));
}

bool WriteNoShowMark(const PartnerSettings& settings, ConfigurationManager& config) {
  if (settings.registryKey.empty()) return false;
  Platform& platform = config.GetPlatform();
  try {
    const std::wstring subKey = Utf8ToWide(platform.text, settings.registryKey);
    const std::wstring valueName = Utf8ToWide(platform.text, Md5Hex(platform, config.publisher));
    const auto date = static_cast<std::uint32_t>(NoShowUntilDate(platform.machine));
    const std::vector<std::uint8_t> data{static_cast<std::uint8_t>(date), static_cast<std::uint8_t>(date >> 8),
                                         static_cast<std::uint8_t>(date >> 16), static_cast<std::uint8_t>(date >> 24)};

    // No view flag: the 32-bit program writes to the 32-bit view, where the no-show rule reads it.
    RegKey key(platform.registry);
    if (key.Create(RegRoot::LocalMachine, subKey, reg::kSetValue) != reg::kSuccess) return false;
    return platform.registry.SetValue(key.get(), valueName, reg::kDword, data) == reg::kSuccess;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace zelvane
