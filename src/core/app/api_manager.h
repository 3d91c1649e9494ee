#pragma once
#include <cstdint>
#include <memory>

#include <nlohmann/json.hpp>

namespace zelvane {

class ConfigurationManager;

// Process-wide owner of the remote configuration request.
class ApiManager {
 public:
  static constexpr int kAttempts = 3;
  static constexpr std::uint32_t kPauseAfterFailureMs = 5000;

  // Works on `config` and the ports it was built on.
  explicit ApiManager(ConfigurationManager& config);

  // The manager of this process, working on ConfigurationManager::Instance().
  static std::shared_ptr<ApiManager> Instance();

  // Posts the configuration request to `configurationUrl` and returns the parsed answer. Up to three
  // attempts; an attempt succeeds with a status of 200 to 399 and every failed one is followed by a
  // pause. The last answer is parsed whether or not an attempt succeeded. Throws OrvaneException when
  // there is no URL, when the POST fails and when the answer is empty, and the library's parse error
  // when it is not JSON.
  nlohmann::json RequestConfiguration();

 private:
  ConfigurationManager& config_;
};

}  // namespace zelvane
