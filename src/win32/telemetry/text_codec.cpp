#include "telemetry/text_codec.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace zelvane::win32 {

namespace {

UINT CodePageId(CodePage codePage) {
  switch (codePage) {
    case CodePage::ThreadAnsi: return CP_THREAD_ACP;
    case CodePage::FileSystem: return ::AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    case CodePage::SystemAnsi: return CP_ACP;
    case CodePage::Utf8: return CP_UTF8;
  }
  return CP_ACP;
}

int Length(std::size_t size, const char* function) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw std::runtime_error(std::string(function) + " failed: 0");
  return static_cast<int>(size);
}

}  // namespace

std::string SystemTextCodec::ToNarrow(const std::wstring& text, CodePage codePage) {
  if (text.empty()) return "";
  const UINT page = CodePageId(codePage);
  const int length = Length(text.size(), "WideCharToMultiByte()");
  const int needed = ::WideCharToMultiByte(page, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed < 1) throw std::runtime_error("WideCharToMultiByte() failed: " + std::to_string(needed));
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(page, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  if (written < 1) throw std::runtime_error("WideCharToMultiByte() failed: " + std::to_string(written));
  narrow.resize(static_cast<std::size_t>(written));
  return narrow;
}

std::wstring SystemTextCodec::ToWide(const std::string& text, CodePage codePage) {
  if (text.empty()) return L"";
  const UINT page = CodePageId(codePage);
  const int length = Length(text.size(), "MultiByteToWideChar()");
  const int needed = ::MultiByteToWideChar(page, 0, text.data(), length, nullptr, 0);
  if (needed < 1) throw std::runtime_error("MultiByteToWideChar() failed: " + std::to_string(needed));
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  const int written = ::MultiByteToWideChar(page, 0, text.data(), length, wide.data(), needed);
  if (written < 1) throw std::runtime_error("MultiByteToWideChar() failed: " + std::to_string(written));
  wide.resize(static_cast<std::size_t>(written));
  return wide;
}

}  // namespace zelvane::win32
