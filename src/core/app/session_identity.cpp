#include "app/session_identity.h"

#include "app/text_encoding.h"
#include "ports/platform.h"

namespace zelvane {

std::string CurrentTimeMillis(Machine& machine) {
  return std::to_string(machine.UnixTime100ns() / 10000);
}

std::string CurrentTimeMillis() { return CurrentTimeMillis(SystemPlatform().machine); }

std::wstring FileNameCode(const std::wstring& modulePath) {
  const auto underscore = modulePath.rfind(L'_');
  if (underscore == std::wstring::npos) return L"";
  std::wstring code = modulePath.substr(underscore + 1);
  const auto dot = code.rfind(L'.');
  if (dot != std::wstring::npos) code.erase(dot);
  if (code.size() != 7 || code.find(L'-') == std::wstring::npos) return L"";
  return code;
}

std::wstring GetFileNameCode() { return FileNameCode(SystemPlatform().machine.ModuleFileName()); }

std::wstring FormatFileVersion(const FileVersion& version) {
  const auto high = [](std::uint32_t v) { return DecimalText(v >> 16); };
  const auto low = [](std::uint32_t v) { return DecimalText(v & 0xFFFFu); };
  return high(version.mostSignificant) + L"." + low(version.mostSignificant) + L"." +
         high(version.leastSignificant) + L"." + low(version.leastSignificant);
}

std::string FormatSessionTimestamp(Machine& machine, std::int64_t unixSeconds) {
  std::tm local{};
  if (!machine.ToLocalTime(unixSeconds, &local)) return "";
  char text[32] = {};
  if (std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local) != 14) return "";
  return text;
}

}  // namespace zelvane
