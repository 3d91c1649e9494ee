#pragma once
// Conversions between UTF-16 and narrow text in the code pages Windows offers.

#include <string>

namespace zelvane {

enum class CodePage {
  ThreadAnsi,  // the calling thread's ANSI code page (CP_THREAD_ACP)
  FileSystem,  // the code page of the narrow file APIs: ANSI unless they were switched to OEM
  SystemAnsi,  // the system's ANSI code page (CP_ACP)
  Utf8,
};

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // Both directions give "" for "" and throw std::runtime_error when the system refuses the text.
  // Characters the code page lacks become its default character; malformed input is replaced.
  virtual std::string ToNarrow(const std::wstring& text, CodePage codePage) = 0;
  virtual std::wstring ToWide(const std::string& text, CodePage codePage) = 0;
};

}  // namespace zelvane
