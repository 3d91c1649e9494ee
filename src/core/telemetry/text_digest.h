#pragma once
// Digests as hexadecimal text, UTF-8 to UTF-16 and the Windows version as text: the small utilities
// of the signed requests, the registry mark and the offer strings. The overloads without a port run
// on SystemPlatform().

#include <cstddef>
#include <cstdint>
#include <string>

#include "ports/platform.h"

namespace zelvane {

// Two lowercase hexadecimal digits per byte.
std::string HexText(const std::uint8_t* bytes, std::size_t size);

// SHA-256 of the bytes of `data` as 64 lowercase hexadecimal digits. Throws std::runtime_error when
// the provider fails.
std::string Sha256Hex(Digests& digests, const std::string& data);
std::string Sha256Hex(const std::string& data);

// MD5 of `text` in the thread's ANSI code page as 32 lowercase hexadecimal digits; "" on any failure.
std::string Md5Hex(Platform& platform, const std::wstring& text);
std::string Md5Hex(const std::wstring& text);

// "" for ""; throws std::runtime_error ("MultiByteToWideChar() failed: n") when the system refuses the text.
std::wstring Utf8ToWide(TextCodec& codec, const std::string& text);

// "major.minor.build" of the running system, such as "10.0.19045"; "" when it cannot be read.
std::string OsVersionText(Machine& machine);
std::string OsVersionText();

}  // namespace zelvane
