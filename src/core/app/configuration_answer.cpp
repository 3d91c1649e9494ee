#include "app/configuration_answer.h"

#include "app/configuration_manager.h"
#include "app/session_identity.h"
#include "telemetry/json_number.h"
#include "telemetry/text_digest.h"

namespace zelvane {

namespace {

bool IsControlWhitespace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::wstring LowerAscii(std::wstring text) {
  for (auto& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

}  // namespace

std::string ConfigurationRequestBody(ConfigurationManager& config) {
  Platform& platform = config.GetPlatform();
  TextCodec& text = platform.text;
  const auto ansi = [&text](const std::wstring& value) { return text.ToNarrow(value, CodePage::ThreadAnsi); };

  nlohmann::json body = nlohmann::json::object();
  body["prv"] = "0.1";
  body["plv"] = ansi(config.programVersion);
  body["l"] = ansi(LowerAscii(config.languageCode.substr(0, 2)));
  body["a"] = ansi(config.publisher);
  body["i"] = ansi(config.productId);
  body["s"] = ansi(config.sourceId);
  body["u"] = text.ToNarrow(FileNameCode(platform.machine.ModuleFileName()), CodePage::SystemAnsi);
  body["o"] = OsVersionText(platform.machine);
  return body.dump();
}

std::string RemoveAnswerWhitespace(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (IsControlWhitespace(c)) continue;  // never kept, inside a string or not
    if (!inString) {
      if (c == ' ') continue;
      if (c == '"') inString = true;
    } else if (escaped) {
      escaped = false;
    } else if (c == '\\') {
      escaped = true;
    } else if (c == '"') {
      inString = false;
    }
    result += c;
  }
  return result;
}

ConfigurationAnswer ApplyConfigurationAnswer(const nlohmann::json& doc, ConfigurationManager& config) {
  TextCodec& text = config.GetPlatform().text;
  const auto wide = [&text](const nlohmann::json& value) {
    return text.ToWide(value.get<std::string>(), CodePage::ThreadAnsi);
  };
  ConfigurationAnswer answer;

  if (doc.is_object() && doc.contains("l")) config.countryCode = doc["l"].get<std::string>();

  if (config.wizardType == kWizardDlm) {
    const nlohmann::json& product = doc.at("i");
    config.productTitle = wide(product.at("ct"));
    config.primaryDownloadUrl = wide(product.at("cu"));
    if (config.productTitle.empty() || config.primaryDownloadUrl.empty()) {
      answer.productUsable = false;
      return answer;
    }
    const auto optional = [&](const char* key, const std::wstring& absent) {
      return product.contains(key) ? wide(product[key]) : absent;
    };
    config.logoUrl = optional("cl", L"");
    config.primaryFileName = optional("cf", config.productTitle + L".exe");
    config.privacyUrl = optional("cp", L"");
    config.termsUrl = optional("ctu", L"");
    config.chValue = optional("ch", L"");
    config.cflValue = optional("cfl", L"");
    config.ispb = product.contains("cb") ? product["cb"].get<std::string>() : "";
  }

  if (doc.is_object() && doc.contains("f") && doc["f"].is_object() && doc["f"].contains("a")) {
    config.pubId = doc["f"]["a"].get<std::string>();
  }

  if (doc.is_object() && doc.contains("o") && config.chValue != L"00xA") {
    config.offerLimit = JsonToInt(doc.at("f").at("m"));
    answer.evaluateOffers = true;
    for (const auto& offer : doc["o"]) answer.offers.push_back(offer);
  }
  return answer;
}

}  // namespace zelvane
