#pragma once
#include "ports/text_codec.h"

namespace zelvane::win32 {

// WideCharToMultiByte and MultiByteToWideChar without flags: characters a code page lacks become its
// default character, malformed input is replaced.
class SystemTextCodec : public TextCodec {
 public:
  std::string ToNarrow(const std::wstring& text, CodePage codePage) override;
  std::wstring ToWide(const std::string& text, CodePage codePage) override;
};

}  // namespace zelvane::win32
