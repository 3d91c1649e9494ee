// The reference of the download benchmark: one WinHTTP request for the URL and one 1 MiB buffer the
// body is read into and dropped, nothing else. What a download over WinHTTP costs at the least.
//
//   bare-winhttp URL

#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <memory>
#include <string>

#include "download_measure.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bare-winhttp URL\n");
    return 2;
  }
  const std::wstring url = argv[1];
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return 3;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);

  zelvane::bench::Stopwatch watch;
  HINTERNET session = ::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
  HINTERNET connection = session ? ::WinHttpConnect(session, host.c_str(), parts.nPort, 0) : nullptr;
  HINTERNET request = connection ? ::WinHttpOpenRequest(connection, L"GET", parts.lpszUrlPath, nullptr,
                                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                                 : nullptr;
  if (!request || !::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(request, nullptr)) {
    std::fprintf(stderr, "request failed: %lu\n", ::GetLastError());
    return 1;
  }
  constexpr DWORD kBuffer = 1 << 20;
  std::unique_ptr<char[]> buffer(new char[kBuffer]);
  unsigned long long total = 0;
  for (;;) {
    DWORD read = 0;
    if (!::WinHttpReadData(request, buffer.get(), kBuffer, &read)) {
      std::fprintf(stderr, "read failed: %lu\n", ::GetLastError());
      return 1;
    }
    if (read == 0) break;
    total += read;
  }
  const double seconds = watch.Seconds();
  ::WinHttpCloseHandle(request);
  ::WinHttpCloseHandle(connection);
  ::WinHttpCloseHandle(session);
  zelvane::bench::PrintFigures(total, seconds);
  return 0;
}
