#include "telemetry/request_base.h"

#include "app/configuration_manager.h"
#include "telemetry/text_digest.h"

namespace zelvane {

RequestBase::RequestBase() : RequestBase(*ConfigurationManager::Instance()) {}

RequestBase::RequestBase(ConfigurationManager& config) : record(nlohmann::json::object()) {
  Platform& platform = config.GetPlatform();
  TextCodec& text = platform.text;
  const std::string userId = config.GetUserId();
  const std::string sessionTimestamp = config.GetSessionTimestamp();

  for (int key = 0; key <= 22; ++key) record[std::to_string(key)] = "";
  record["1"] = userId;
  record["2"] = sessionTimestamp;
  record["3"] = text.ToNarrow(config.publisher, CodePage::FileSystem);
  record["4"] = text.ToNarrow(config.productId, CodePage::FileSystem);
  record["7"] = text.ToNarrow(config.programVersion, CodePage::FileSystem);
  record["15"] = 0;
  record["19"] = text.ToNarrow(config.cflValue, CodePage::FileSystem);
  record["21"] = text.ToNarrow(config.chValue, CodePage::ThreadAnsi);
  record["22"] = text.ToNarrow(config.productTitle, CodePage::ThreadAnsi);
  record["31"] = OsVersionText(platform.machine);
  record["38"] = platform.machine.IsWow64() ? "1" : "0";

  headers.emplace_back(L"Authorization", SignatureHeaderValue(platform, userId, sessionTimestamp));
}

std::wstring SignatureHeaderValue(Platform& platform, const std::string& userId, const std::string& sessionTimestamp) {
  return L"Signature=" + Utf8ToWide(platform.text, Sha256Hex(platform.digests, userId + sessionTimestamp));
}

bool PostJson(const std::wstring& url, const std::string& body, HeaderList headers, std::string& response,
              std::uint32_t& status) {
  return SystemPlatform().transport.PostJson(url, body, std::move(headers), response, status);
}

}  // namespace zelvane
