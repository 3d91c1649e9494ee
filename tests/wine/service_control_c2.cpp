#include "service_control_c2.h"

#include <stdexcept>

#include "common/winhttp_handle.h"

namespace zelvane::c2test {

namespace {

constexpr wchar_t kHost[] = L"content.zelvane.test";

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

[[noreturn]] void Fail(const std::string& step) {
  throw std::runtime_error("content service control: " + step + " failed with " + std::to_string(::GetLastError()));
}

// One control request; the answer's JSON, or an exception for anything but 200.
nlohmann::json Control(const wchar_t* method, const std::string& what, const std::string& body = {}) {
  win32::UniqueInternet session(::WinHttpOpen(L"zelvane-c2-tests", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;  // the service speaks nothing older
  if (!session || !::WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    Fail("WinHttpOpen");
  }
  win32::UniqueInternet connection(::WinHttpConnect(session.get(), kHost, INTERNET_DEFAULT_HTTPS_PORT, 0));
  if (!connection) Fail("WinHttpConnect");
  const std::wstring path = Widen("/__control/" + what);
  win32::UniqueInternet request(::WinHttpOpenRequest(connection.get(), method, path.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                     WINHTTP_FLAG_SECURE));
  if (!request) Fail("WinHttpOpenRequest");
  const wchar_t* headers = body.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : L"Content-Type: application/json";
  const auto length = static_cast<DWORD>(body.size());
  if (!::WinHttpSendRequest(request.get(), headers, static_cast<DWORD>(-1), const_cast<char*>(body.data()), length,
                            length, 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr)) {
    Fail(what);
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  std::string answer;
  for (;;) {
    char buffer[16384];
    DWORD read = 0;
    if (!::WinHttpReadData(request.get(), buffer, sizeof buffer, &read)) Fail("reading " + what);
    if (read == 0) break;
    answer.append(buffer, read);
  }
  if (status != 200) throw std::runtime_error("content service control: " + what + " answered " + std::to_string(status));
  return nlohmann::json::parse(answer);
}

}  // namespace

std::string OwnPath(const std::string& name) { return "/c2/" + std::to_string(::GetCurrentProcessId()) + "/" + name; }

std::wstring ContentUrl(const std::string& path) { return std::wstring(L"https://") + kHost + Widen(path); }

void AddRoutes(const nlohmann::json& routes) { Control(L"POST", "routes", routes.dump()); }

std::int64_t LogMark() { return Control(L"GET", "status").at("last").get<std::int64_t>(); }

std::vector<nlohmann::json> LoggedRequests(std::int64_t since, const std::string& path) {
  const nlohmann::json answer = Control(L"GET", "log?since=" + std::to_string(since) + "&path=" + path);
  std::vector<nlohmann::json> entries;
  for (const auto& entry : answer.at("entries")) {
    if (entry.value("kind", "request") == "request") entries.push_back(entry);
  }
  return entries;
}

}  // namespace zelvane::c2test
