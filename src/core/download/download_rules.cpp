#include "download/download_rules.h"

#include <cwchar>
#include <cwctype>

#include "app/configuration_manager.h"
#include "app/text_encoding.h"
#include "download/target_path.h"

namespace zelvane {

const wchar_t kInsecureUrlText[] = L"Insecure download URL.";
const wchar_t kInsecureProtocolText[] = L"Insecure connection protocol.";
const wchar_t kInvalidFileNameText[] = L"Invalid file name.";
const wchar_t kInvalidLocationText[] = L"Invalid redirect location.";
const wchar_t kTooManyRedirectsText[] = L"Too many redirects.";
const wchar_t kCancelledText[] = L"Download cancelled.";

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  }
  return true;
}

}  // namespace

std::wstring FormatSystemError(const std::wstring& format, std::uint32_t code, const std::wstring& systemText) {
  std::wstring out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L'd') {
      out += DecimalText(static_cast<std::int32_t>(code));
      ++i;
    } else if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's') {
      out += systemText;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::wstring StatusFailureText(std::uint32_t status) {
  return L"Download failed: Server returned status code: " + DecimalText(static_cast<std::int32_t>(status));
}

std::wstring IncompleteDownloadText(std::uint32_t contentLength, std::uint64_t fileLength) {
  return L"Download was incomplete: content length: " + DecimalText(contentLength) +
         L", downloaded: " + DecimalText(fileLength);
}

std::wstring CombineTransportErrors(const std::wstring& winHttpError, const std::wstring& winInetError) {
  return L"[WINHTTP] " + winHttpError + L" [WININET] " + winInetError;
}

bool IsHttpsUrl(const std::wstring& url) { return StartsWithNoCase(url, L"https://") && url.size() > 8; }

std::optional<std::wstring> RedirectTarget(const std::wstring& currentUrl,
                                           const std::optional<std::wstring>& location) {
  constexpr std::size_t kMaxCharacters = kLocationBufferBytes / sizeof(char16_t) - 1;
  if (!location || location->empty() || location->size() > kMaxCharacters) return std::nullopt;
  if (StartsWithNoCase(*location, L"https://") || StartsWithNoCase(*location, L"http://")) return *location;
  if ((*location)[0] == L'/' && (location->size() == 1 || (*location)[1] != L'/')) {
    const std::size_t schemeEnd = currentUrl.find(L"://");
    if (schemeEnd == std::wstring::npos) return std::nullopt;
    const std::size_t pathStart = currentUrl.find_first_of(L"/?#", schemeEnd + 3);
    return currentUrl.substr(0, pathStart) + *location;
  }
  return std::nullopt;
}

std::optional<unsigned> ProgressReporter::Add(std::uint64_t bytes) {
  if (!known_ || length_ == 0) return std::nullopt;
  progress_ += static_cast<double>(bytes) / static_cast<double>(length_);
  if (progress_ - lastPosted_ <= 0.01) return std::nullopt;
  lastPosted_ = progress_;
  return static_cast<unsigned>(progress_ * 100);
}

std::wstring FileNameFromUrl(const std::wstring& url) {
  const std::size_t slash = url.rfind(L'/');
  return slash == std::wstring::npos ? L"" : url.substr(slash + 1);
}

bool IsSafeFileName(const std::wstring& name) {
  if (name == L"." || name == L"..") return false;
  return name.find_first_of(L"\\/:") == std::wstring::npos;
}

TargetPath MakeTargetPath(const ConfigurationManager& config, Machine& machine, UserInterface& ui,
                          const std::wstring& url, const std::wstring& fileName, bool toWorkFolder) {
  constexpr unsigned kIconExclamation = 0x30;
  TargetPath target;
  const std::wstring& folder = toWorkFolder ? config.workFolder : config.downloadFolder;
  if (!machine.IsDirectory(folder)) {
    ui.ShowMessageBox(L"Invalid path", ApplicationName(machine), mb::kOk | kIconExclamation);
    return target;
  }
  const std::wstring name = fileName.empty() ? FileNameFromUrl(url) : fileName;
  if (!IsSafeFileName(name)) {
    target.invalidName = true;
    return target;
  }
  std::wstring path = folder;
  if (AppendPath(path, name)) target.path = std::move(path);
  return target;
}

}  // namespace zelvane
