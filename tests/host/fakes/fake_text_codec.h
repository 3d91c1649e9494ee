#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ports/text_codec.h"

namespace zelvane::testing {

// UTF-8 for real; every ANSI code page is Latin-1 here, with "?" for what it lacks. Each conversion is
// recorded with its code page, so tests can tell which page a value went through.
class FakeTextCodec : public TextCodec {
 public:
  // A text that the "system" refuses in either direction.
  std::wstring refusedWide = L"\u2603refused";
  std::string refusedNarrow = "\xE2\x98\x83refused";

  std::string ToNarrow(const std::wstring& text, CodePage codePage) override {
    Record(text, codePage);
    if (text.empty()) return "";
    if (text == refusedWide) throw std::runtime_error("WideCharToMultiByte() failed: 0");
    if (codePage == CodePage::Utf8) return EncodeUtf8(text);
    std::string narrow;
    for (const wchar_t c : text) narrow += c <= 0xFF ? static_cast<char>(c) : '?';
    return narrow;
  }

  std::wstring ToWide(const std::string& text, CodePage codePage) override {
    if (text.empty()) return L"";
    if (text == refusedNarrow) throw std::runtime_error("MultiByteToWideChar() failed: 0");
    if (codePage == CodePage::Utf8) return DecodeUtf8(text);
    std::wstring wide;
    for (const char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
  }

  // The code page the last conversion of `text` to narrow text used.
  std::optional<CodePage> NarrowedWith(const std::wstring& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = narrowed_.rbegin(); it != narrowed_.rend(); ++it) {
      if (it->first == text) return it->second;
    }
    return std::nullopt;
  }

  static std::string EncodeUtf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t wc : text) {
      const auto c = static_cast<std::uint32_t>(wc);
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }

  // Malformed sequences become U+FFFD, as MultiByteToWideChar without flags does.
  static std::wstring DecodeUtf8(const std::string& text) {
    std::wstring out;
    std::size_t i = 0;
    while (i < text.size()) {
      const auto lead = static_cast<unsigned char>(text[i]);
      const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
      std::uint32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
      bool ok = extra >= 0;
      for (int k = 1; ok && k <= extra; ++k) {
        if (i + k >= text.size()) {
          ok = false;
          break;
        }
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) ok = false;
        c = (c << 6) | (next & 0x3F);
      }
      if (!ok) {
        out += L'\uFFFD';
        ++i;
        continue;
      }
      out += static_cast<wchar_t>(c);
      i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
  }

 private:
  void Record(const std::wstring& text, CodePage codePage) {
    std::lock_guard<std::mutex> lock(mutex_);
    narrowed_.emplace_back(text, codePage);
  }
  std::mutex mutex_;
  std::vector<std::pair<std::wstring, CodePage>> narrowed_;
};

}  // namespace zelvane::testing
