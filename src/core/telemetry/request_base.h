#pragma once
// The common record and the signed header list that every analytics request of a package carries.

#include <nlohmann/json.hpp>

#include "ports/platform.h"

namespace zelvane {

class ConfigurationManager;

struct RequestBase {
  // Built from the record of this process.
  RequestBase();
  // Built from `config` and the ports it runs on.
  explicit RequestBase(ConfigurationManager& config);

  // Keys "0" to "22", "31" and "38"; "15" is the number 0, every other value a string.
  nlohmann::json record;
  // One entry: "Authorization" = "Signature=" + SHA-256 hex of user id followed by session timestamp.
  HeaderList headers;
};

// The signature header value for a user id and a session timestamp.
std::wstring SignatureHeaderValue(Platform& platform, const std::string& userId, const std::string& sessionTimestamp);

// The HTTPS JSON POST of this program (SystemPlatform().transport).
bool PostJson(const std::wstring& url, const std::string& body, HeaderList headers, std::string& response,
              std::uint32_t& status);

}  // namespace zelvane
