#pragma once
// The local content service of the test run, driven from a Wine test through its control endpoint
// (https://content.zelvane.test/__control/...). Tests run side by side, so each one adds routes under
// paths of its own (UniquePath) and reads only the log entries after its own Mark() and of its paths.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zelvane::test {

// "/wine/<process id>/<name>": a path no other test process uses.
std::string UniquePath(const std::string& name);
std::wstring ContentUrl(const std::string& path);

// Each call throws std::runtime_error when the service cannot be reached or refuses the request.
class ContentService {
 public:
  // Adds or replaces routes of the current scenario ({"/path": response or [responses...]}).
  static void AddRoutes(const nlohmann::json& routes);
  // The sequence number of the last logged entry.
  static std::int64_t Mark();
  // The entries of `kind` ("request", "tls_error") logged after `since`, oldest first; with a path
  // only the requests for it.
  static std::vector<nlohmann::json> Log(std::int64_t since, const std::string& path,
                                         const std::string& kind = "request");
};

}  // namespace zelvane::test
