#pragma once
// A minimal client of the local content service's control endpoint for the event delivery tests:
// add routes under paths of this process, and read the request log after a mark. Every call throws
// std::runtime_error when the service cannot be reached or refuses.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zelvane::c2test {

// "/c2/<process id>/<name>": a path no other test process uses.
std::string OwnPath(const std::string& name);
// "https://content.zelvane.test" + path.
std::wstring ContentUrl(const std::string& path);

// Adds or replaces routes of the running scenario.
void AddRoutes(const nlohmann::json& routes);
// The sequence number of the last logged request.
std::int64_t LogMark();
// The requests logged after `since` for `path`, oldest first.
std::vector<nlohmann::json> LoggedRequests(std::int64_t since, const std::string& path);

}  // namespace zelvane::c2test
