#pragma once
// The decisions of a file or memory download that do not need the network: error texts, redirect
// counting and locations, progress reporting, file names and the target path.

#include <cstdint>
#include <optional>
#include <string>

#include "ports/machine.h"
#include "ports/user_interface.h"

namespace zelvane {

class ConfigurationManager;

// Outcome of a file download; the message is read only on failure.
struct DownloadResult {
  bool success = false;
  std::wstring message;
};

// Window messages posted to the page that runs a download.
constexpr unsigned kWmDownloadProgress = 0x0400 + 1;     // wParam: percent received
constexpr unsigned kWmDownloadSizeUnknown = 0x0400 + 2;  // the response has no usable length

// Texts of the decided refusals.
extern const wchar_t kInsecureUrlText[];       // "Insecure download URL."
extern const wchar_t kInsecureProtocolText[];  // "Insecure connection protocol." (older than TLS 1.2)
extern const wchar_t kInvalidFileNameText[];   // "Invalid file name."
extern const wchar_t kInvalidLocationText[];   // "Invalid redirect location."
extern const wchar_t kTooManyRedirectsText[];  // "Too many redirects."
extern const wchar_t kCancelledText[];         // "Download cancelled."

// A template with "%d" and "%s" filled with a system error code (as a signed number, as the
// system's printf would show it) and that code's system text.
std::wstring FormatSystemError(const std::wstring& format, std::uint32_t code, const std::wstring& systemText);

// "Download failed: Server returned status code: 404".
std::wstring StatusFailureText(std::uint32_t status);
// "Download was incomplete: content length: N, downloaded: M".
std::wstring IncompleteDownloadText(std::uint32_t contentLength, std::uint64_t fileLength);
// The message of a download that failed over both transports.
std::wstring CombineTransportErrors(const std::wstring& winHttpError, const std::wstring& winInetError);

// Redirects a download follows before it gives up: five are followed, the sixth fails.
class RedirectCount {
 public:
  static constexpr int kLimit = 5;
  // Counts one more redirect; false once the limit is passed.
  [[nodiscard]] bool Follow() { return ++count_ <= kLimit; }
  int count() const { return count_; }

 private:
  int count_ = 0;
};

// True for an absolute "https://host..." URL (scheme in any case).
bool IsHttpsUrl(const std::wstring& url);

// Where a redirect leads: the Location as read into a buffer of 260 bytes (129 characters and the
// terminator). An absolute URL is taken as it is, a path from "/" on the current URL's scheme and
// host. Nothing when the Location is missing, empty, longer than the buffer, or of another form.
constexpr std::size_t kLocationBufferBytes = 260;
std::optional<std::wstring> RedirectTarget(const std::wstring& currentUrl, const std::optional<std::wstring>& location);

// Progress of one transfer: reported only when it grew by more than one percent since the last report.
class ProgressReporter {
 public:
  // A length of 0 or an unknown length reports nothing.
  ProgressReporter(std::uint32_t contentLength, bool lengthKnown) : length_(contentLength), known_(lengthKnown) {}
  // Adds bytes read; the percent to post, if any.
  std::optional<unsigned> Add(std::uint64_t bytes);

 private:
  std::uint32_t length_;
  bool known_;
  double progress_ = 0;
  double lastPosted_ = 0;
};

// The part of the URL after its last '/', verbatim (a query string stays); "" without any '/'.
std::wstring FileNameFromUrl(const std::wstring& url);

// False for names that could leave the folder: a backslash, '/', ':', or "." or "..". An empty
// name is not refused here (it targets the folder itself, which then cannot be written).
bool IsSafeFileName(const std::wstring& name);

struct TargetPath {
  std::wstring path;  // "" when the folder is unusable or the result too long
  bool invalidName = false;
};

// The file a download goes to: the work folder or the download folder of the record, and the
// explicit name, or the URL's last segment when the name is empty. An unusable folder shows
// "Invalid path" and gives no path; a refused name gives `invalidName`.
TargetPath MakeTargetPath(const ConfigurationManager& config, Machine& machine, UserInterface& ui,
                          const std::wstring& url, const std::wstring& fileName, bool toWorkFolder);

}  // namespace zelvane
