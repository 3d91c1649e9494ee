#include "telemetry/winhttp_transport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "app/orvane_exception.h"
#include "common/winhttp_handle.h"
#include "telemetry/transport_policy.h"

namespace zelvane::win32 {

namespace {

// TLS 1.2, with TLS 1.3 where the system accepts the flag. Older protocols are never offered.
bool SetSecureProtocols(HINTERNET session) {
  DWORD protocols = winhttp::kTls12 | winhttp::kTls13;
  if (::WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) return true;
  protocols = winhttp::kTls12;
  return ::WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols) != FALSE;
}

void ReadBody(HINTERNET request, std::string& response) {
  for (;;) {
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) {
      std::printf("Error %lu in WinHttpQueryDataAvailable.\n", ::GetLastError());
      return;
    }
    if (available == 0) return;
    std::vector<char> buffer;
    try {
      buffer.assign(static_cast<std::size_t>(available) + 1, '\0');
    } catch (const std::bad_alloc&) {
      std::printf("Out of memory\n");
      return;
    }
    DWORD read = 0;
    if (::WinHttpReadData(request, buffer.data(), available, &read)) {
      // A chunk contributes its bytes up to the first NUL.
      response.append(buffer.data(), std::strlen(buffer.data()));
    } else {
      std::printf("Error %lu in WinHttpReadData.\n", ::GetLastError());
    }
  }
}

bool Transfer(std::uint32_t accessType, const std::wstring& host, const std::wstring& path, const std::string& body,
              HeaderList headers, std::string& response, std::uint32_t& status) {
  // Synchronous, and without a User-Agent header.
  UniqueInternet session(
      ::WinHttpOpen(nullptr, accessType, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session || !SetSecureProtocols(session.get())) return false;

  UniqueInternet connection(::WinHttpConnect(session.get(), host.c_str(), INTERNET_DEFAULT_HTTPS_PORT, 0));
  if (!connection) return false;
  UniqueInternet request(::WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!request) return false;

  headers.emplace_back(L"Expect", L"100-continue");
  headers.emplace_back(L"Content-Type", L"application/json");
  for (const auto& [name, value] : headers) {
    const std::wstring line = name + L": " + value;
    if (!::WinHttpAddRequestHeaders(request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                    WINHTTP_ADDREQ_FLAG_ADD)) {
      std::printf("WinHttpAddRequestHeaders error: %d\n", static_cast<int>(::GetLastError()));
    }
  }

  // The body goes up to its first NUL byte.
  const auto length = static_cast<DWORD>(std::strlen(body.c_str()));
  if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, const_cast<char*>(body.c_str()), length,
                            length, 0)) {
    return false;
  }
  if (!::WinHttpReceiveResponse(request.get(), nullptr)) return false;

  DWORD code = 0;
  DWORD size = sizeof code;
  if (::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
    status = code;
  }
  ReadBody(request.get(), response);
  return true;  // the handles close in the order request, connection, session
}

}  // namespace

bool WinHttpTransport::PostJson(const std::wstring& url, const std::string& body, HeaderList headers,
                                std::string& response, std::uint32_t& status) {
  const TransportSettings settings = ChooseTransportSettings(machine_);
  if (settings.refused) throw OrvaneException("");

  URL_COMPONENTS components{};
  components.dwStructSize = sizeof components;
  components.dwSchemeLength = static_cast<DWORD>(-1);
  components.dwHostNameLength = static_cast<DWORD>(-1);
  components.dwUrlPathLength = static_cast<DWORD>(-1);
  components.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) throw OrvaneException("");

  // Host and path only: the scheme and port of the URL, its query and fragment are not used.
  const auto part = [](const wchar_t* start, DWORD length) { return start ? std::wstring(start, length) : std::wstring(); };
  const std::wstring host = part(components.lpszHostName, components.dwHostNameLength);
  std::wstring path = part(components.lpszUrlPath, components.dwUrlPathLength);
  // Windows leaves query and fragment out of the path; Wine keeps a fragment there when the URL has
  // no query. Neither is ever sent.
  path.erase(std::min(path.find_first_of(L"?#"), path.size()));
  if (!Transfer(settings.accessType, host, path, body, std::move(headers), response, status)) {
    throw OrvaneException("");
  }
  return true;
}

}  // namespace zelvane::win32
