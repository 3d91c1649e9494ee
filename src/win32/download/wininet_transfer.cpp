// The WinINet fallback of a file download.

#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <wininet.h>

#include "download/system_error.h"
#include "download/transfer.h"

namespace zelvane::win32::transfer {

namespace {

using InternetHandle = UniqueHandle<NullInvalidTraits<HINTERNET, &::InternetCloseHandle>>;

constexpr DWORD kReadBuffer = 4096;

// The URL the handle ended at, after any redirects WinINet followed itself.
std::wstring FinalUrl(HINTERNET url) {
  DWORD size = 0;
  ::InternetQueryOptionW(url, INTERNET_OPTION_URL, nullptr, &size);
  if (size == 0) return L"";
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!::InternetQueryOptionW(url, INTERNET_OPTION_URL, text.data(), &size)) return L"";
  text.resize(size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

// What WinINet reports of a secure connection (option 66); MinGW's header does not declare it.
struct SecurityConnectionInfo {
  DWORD dwSize;
  BOOL fSecure;
  SecPkgContext_ConnectionInfo connectionInfo;
  SecPkgContext_CipherInfo cipherInfo;
};
constexpr DWORD kSecurityConnectionInfoOption = 66;

// WinINet cannot be told which TLS versions to use: it follows the system's settings. So the
// negotiated version is checked where WinINet tells it (Windows does; Wine does not).
bool NegotiatedBelowTls12(HINTERNET url) {
  SecurityConnectionInfo info{};
  info.dwSize = sizeof info;
  DWORD size = sizeof info;
  if (!::InternetQueryOptionW(url, kSecurityConnectionInfoOption, &info, &size)) return false;
  constexpr DWORD kTls12OrLater = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
  return info.fSecure && (info.connectionInfo.dwProtocol & kTls12OrLater) == 0;
}

}  // namespace

DownloadResult WinInetFile(const FileJob& job) {
  DownloadResult result;
  OutputFile output(job.path);
  InternetHandle internet;
  InternetHandle url;
  try {
    internet.reset(::InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) FailWithCode(L"Failed to initialize WinINet:: %d - %s", ::GetLastError());
    if (!IsHttpsUrl(job.url)) Fail(kInsecureUrlText);
    url.reset(::InternetOpenUrlW(internet.get(), job.url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    if (!url) FailWithCode(L"Failed to open URL:: %d - %s", ::GetLastError());
    // WinINet follows redirects on its own: where it ended must still be https.
    if (!IsHttpsUrl(FinalUrl(url.get()))) Fail(kInsecureUrlText);
    if (NegotiatedBelowTls12(url.get())) Fail(kInsecureProtocolText);

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(url.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
      FailWithCode(L"Failed to query HTTP status code: %d - %s", ::GetLastError());
    }
    if (status != 200) {
      Fail(FormatSystemError(L"Server returned status code: HTTP %d - %s", status, SystemErrorText(::GetLastError())));
    }

    DWORD contentLength = 0;
    size = sizeof contentLength;
    const bool known =
        ::HttpQueryInfoW(url.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength, &size, nullptr) !=
        FALSE;
    if (!known) {
      contentLength = 0;
      Post(job.window, kWmDownloadSizeUnknown, 0);
    }
    if (!output.IsOpen()) FailWithCode(L"Failed to open file for writing: %d - %s", output.openError());

    ProgressReporter progress(contentLength, known);
    std::uint8_t buffer[kReadBuffer];
    for (;;) {
      if (job.cancelled) Fail(kCancelledText);
      DWORD read = 0;
      // A failed read ends the transfer; the completeness check judges what arrived.
      if (!::InternetReadFile(url.get(), buffer, sizeof buffer, &read) || read == 0) break;
      output.Write(buffer, read);
      if (const auto percent = progress.Add(read)) Post(job.window, kWmDownloadProgress, *percent);
    }
    output.Finish();

    if (known) CheckComplete(job.path, contentLength, L"Failed to open downloaded file: %d - %s");
    if (contentLength != 0) Post(job.window, kWmDownloadProgress, 1);
    result.success = true;
  } catch (const std::exception&) {
    result.message = CurrentErrorText();
  }
  output.Close();
  url.reset();
  internet.reset();
  return result;
}

}  // namespace zelvane::win32::transfer
