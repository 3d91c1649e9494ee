#include "telemetry/text_digest.h"

#include <exception>
#include <stdexcept>

namespace zelvane {

std::string HexText(const std::uint8_t* bytes, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

std::string Sha256Hex(Digests& digests, const std::string& data) {
  const auto digest = digests.Sha256(data);
  if (!digest) throw std::runtime_error("SHA-256 failed");
  return HexText(digest->data(), digest->size());
}

std::string Sha256Hex(const std::string& data) { return Sha256Hex(SystemPlatform().digests, data); }

std::string Md5Hex(Platform& platform, const std::wstring& text) {
  try {
    const auto digest = platform.digests.Md5(platform.text.ToNarrow(text, CodePage::ThreadAnsi));
    return digest ? HexText(digest->data(), digest->size()) : "";
  } catch (const std::exception&) {
    return "";
  }
}

std::string Md5Hex(const std::wstring& text) { return Md5Hex(SystemPlatform(), text); }

std::wstring Utf8ToWide(TextCodec& codec, const std::string& text) {
  if (text.empty()) return L"";
  return codec.ToWide(text, CodePage::Utf8);
}

std::string OsVersionText(Machine& machine) {
  const auto version = machine.GetOsVersion();
  if (!version) return "";
  return std::to_string(version->major) + "." + std::to_string(version->minor) + "." + std::to_string(version->build);
}

std::string OsVersionText() { return OsVersionText(SystemPlatform().machine); }

}  // namespace zelvane
