#include "app/api_manager.h"

#include "app/configuration_answer.h"
#include "app/configuration_manager.h"
#include "app/orvane_exception.h"

namespace zelvane {

namespace {

// The answer's JSON value; a syntax error throws nlohmann::json::parse_error as json::parse does.
// This is json::parse without a callback: the library's DOM builder driven through sax_parse.
// json::parse also compiles the callback-filtering builder, about 11 KB of the stub no call uses.
nlohmann::json ParseAnswer(const std::string& text) {
  nlohmann::json answer;
  nlohmann::detail::json_sax_dom_parser<nlohmann::json> builder(answer);
  nlohmann::json::sax_parse(text, &builder);
  return answer;
}

}  // namespace

ApiManager::ApiManager(ConfigurationManager& config) : config_(config) {}

std::shared_ptr<ApiManager> ApiManager::Instance() {
  // The record is process-wide as well and outlives this object.
  static const std::shared_ptr<ApiManager> instance = std::make_shared<ApiManager>(*ConfigurationManager::Instance());
  return instance;
}

nlohmann::json ApiManager::RequestConfiguration() {
  if (config_.configurationUrl.empty()) throw OrvaneException("");
  Platform& platform = config_.GetPlatform();
  const std::string body = ConfigurationRequestBody(config_);

  std::string response;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    response.clear();
    std::uint32_t status = 0;
    // An exception from the transport ends the request at once.
    if (platform.transport.PostJson(config_.configurationUrl, body, {}, response, status) && status >= 200 &&
        status <= 399) {
      break;
    }
    platform.machine.Sleep(kPauseAfterFailureMs);
  }

  const std::string text = RemoveAnswerWhitespace(response);
  if (text.empty()) throw OrvaneException("");
  return ParseAnswer(text);
}

}  // namespace zelvane
