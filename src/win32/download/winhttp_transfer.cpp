// Downloads over WinHTTP: files (the first transport) and in-memory fetches.

#include <windows.h>
#include <winhttp.h>

#include <new>

#include "app/text_encoding.h"
#include "download/transfer.h"
#include "ports/platform.h"
#include "telemetry/transport_policy.h"

namespace zelvane::win32::transfer {

namespace {

using WinHttpHandle = UniqueHandle<NullInvalidTraits<HINTERNET, &::WinHttpCloseHandle>>;

constexpr DWORD kTls12And13 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;

// What one request needs to be opened.
struct RequestSettings {
  const wchar_t* userAgent;
  DWORD accessType;
  bool httpsOnly;  // file downloads: every URL and redirect must be https, and redirects are ours to follow
};

// The handles of one request, closed in reverse order of opening.
struct Request {
  WinHttpHandle session;
  WinHttpHandle connection;
  WinHttpHandle request;
  void Close() {
    request.reset();
    connection.reset();
    session.reset();
  }
};

void SetSecureProtocols(HINTERNET session) {
  // TLS 1.2 and 1.3; systems that do not know the 1.3 flag refuse the pair, and get 1.2 alone.
  DWORD protocols = kTls12And13;
  if (::WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) return;
  protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  if (!::WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    FailWithCode(L"Failed to set secure protocols: %d - %s", ::GetLastError());
  }
}

std::optional<std::wstring> QueryLocation(HINTERNET request) {
  wchar_t buffer[kLocationBufferBytes / sizeof(wchar_t)] = {};
  DWORD size = sizeof buffer;
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, buffer, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  return std::wstring(buffer, size / sizeof(wchar_t));
}

// Sends GET for the URL, following redirects, until a response that is not a redirect arrives;
// returns its status with the request open.
DWORD OpenResponse(const std::wstring& startUrl, const RequestSettings& settings, RedirectCount& redirects,
                   Request& open) {
  std::wstring url = startUrl;
  for (;;) {
    open.Close();
    if (settings.httpsOnly && !IsHttpsUrl(url)) Fail(kInsecureUrlText);

    open.session.reset(::WinHttpOpen(settings.userAgent, settings.accessType, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
    if (!open.session) FailWithCode(L"Failed to open HTTP session: %d - %s", ::GetLastError());
    SetSecureProtocols(open.session.get());

    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    const bool cracked = ::WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) != FALSE;
    if (settings.httpsOnly && (!cracked || parts.nScheme != INTERNET_SCHEME_HTTPS)) Fail(kInsecureUrlText);
    const std::wstring host = cracked && parts.lpszHostName != nullptr
                                  ? std::wstring(parts.lpszHostName, parts.dwHostNameLength)
                                  : std::wstring();
    // The path runs on to the end of the URL, so the query goes with it.
    const wchar_t* object = cracked && parts.lpszUrlPath != nullptr ? parts.lpszUrlPath : L"";

    open.connection.reset(::WinHttpConnect(open.session.get(), host.c_str(), cracked ? parts.nPort : 0, 0));
    if (!open.connection) FailWithCode(L"Failed to connect: %d - %s", ::GetLastError());

    const DWORD flags = cracked && parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    open.request.reset(::WinHttpOpenRequest(open.connection.get(), L"GET", object, nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!open.request) FailWithCode(L"Failed to open request: %d - %s", ::GetLastError());
    if (settings.httpsOnly) {
      // Every redirect comes back here, to be counted and checked.
      DWORD disable = WINHTTP_DISABLE_REDIRECTS;
      ::WinHttpSetOption(open.request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
    }

    if (!::WinHttpSendRequest(open.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                              0)) {
      FailWithCode(L"Failed to send request: %d - %s", ::GetLastError());
    }
    if (!::WinHttpReceiveResponse(open.request.get(), nullptr)) {
      FailWithCode(L"Failed to receive response: %d - %s", ::GetLastError());
    }

    DWORD status = 0;
    DWORD size = sizeof status;
    ::WinHttpQueryHeaders(open.request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status < 300 || status > 399) return status;

    if (!redirects.Follow()) Fail(kTooManyRedirectsText);
    const std::optional<std::wstring> next = RedirectTarget(url, QueryLocation(open.request.get()));
    if (!next) Fail(kInvalidLocationText);
    url = *next;
  }
}

// Content-Length as a number; nothing when the response has none.
std::optional<std::uint32_t> ContentLength(HINTERNET request) {
  DWORD length = 0;
  DWORD size = sizeof length;
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  return length;
}

// Reads the body chunk by chunk, as much as the connection says is there, handing each on. One
// buffer serves every chunk; it grows when a chunk is larger than any before.
template <typename Consume>
void ReadBody(HINTERNET request, const std::atomic<bool>& cancelled, Consume consume) {
  std::unique_ptr<std::uint8_t[]> buffer;
  DWORD capacity = 0;
  for (;;) {
    if (cancelled) Fail(kCancelledText);
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) {
      FailWithCode(L"Failed to query data: %d - %s", ::GetLastError());
    }
    if (available == 0) return;
    if (available > capacity) {
      buffer.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(available) + 1]);
      if (!buffer) Fail(L"Out of memory.");
      capacity = available;
    }
    DWORD read = 0;
    if (!::WinHttpReadData(request, buffer.get(), available, &read)) {
      FailWithCode(L"Failed to read data: %d - %s", ::GetLastError());
    }
    consume(buffer.get(), read);
  }
}

// Windows 7 takes the configured proxy; other systems find theirs.
DWORD FileAccessType() { return ChooseTransportSettings(SystemPlatform().machine).accessType; }

}  // namespace

DownloadResult WinHttpFile(const FileJob& job) {
  DownloadResult result;
  OutputFile output(job.path);
  Request open;
  try {
    RedirectCount redirects;
    const DWORD status = OpenResponse(job.url, RequestSettings{nullptr, FileAccessType(), true}, redirects, open);
    if (status < 200 || status > 299) Fail(StatusFailureText(status));

    const std::optional<std::uint32_t> length = ContentLength(open.request.get());
    if (!length) Post(job.window, kWmDownloadSizeUnknown, 0);
    const std::uint32_t contentLength = length.value_or(0);
    if (!output.IsOpen()) FailWithCode(L"Failed to open file for writing: %d - %s", output.openError());

    ProgressReporter progress(contentLength, length.has_value());
    ReadBody(open.request.get(), job.cancelled, [&](const std::uint8_t* data, DWORD size) {
      output.Write(data, size);
      if (const auto percent = progress.Add(size)) Post(job.window, kWmDownloadProgress, *percent);
    });
    output.Finish();

    if (length) CheckComplete(job.path, contentLength, L"Failed to open downloaded file.");
    if (contentLength != 0) Post(job.window, kWmDownloadProgress, 1);
    result.success = true;
  } catch (const std::exception&) {
    result.message = CurrentErrorText();
  }
  output.Close();
  open.Close();
  return result;
}

std::unique_ptr<std::vector<std::uint8_t>> WinHttpMemory(const std::wstring& url, const std::atomic<bool>& cancelled) {
  auto bytes = std::make_unique<std::vector<std::uint8_t>>();
  RedirectCount redirects;  // one count for both attempts
  bool done = false;
  for (int attempt = 0; attempt < 2 && !done; ++attempt) {
    Request open;
    try {
      const RequestSettings settings{L"A WinHTTP Example Program/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, false};
      const DWORD status = OpenResponse(url, settings, redirects, open);
      if (status < 200 || status > 399) {
        Fail(L"Server returned status code: " + DecimalText(static_cast<std::int32_t>(status)));
      }
      (void)ContentLength(open.request.get());
      ReadBody(open.request.get(), cancelled,
               [&](const std::uint8_t* data, DWORD size) { bytes->insert(bytes->end(), data, data + size); });
      done = true;
    } catch (const std::exception&) {
      bytes->clear();
    }
  }
  return bytes;
}

}  // namespace zelvane::win32::transfer
