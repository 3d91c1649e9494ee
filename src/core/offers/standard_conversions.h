#pragma once
// Text-to-number conversions of the offer rules. They behave as the Windows C++ library's
// std::stoul, std::stoull and std::stof do there, messages included, whatever the build's own
// library is: unsigned long is 32 bits wide on Windows but not on the host, and the messages of the
// exceptions differ between libraries. Leading white space and a sign are accepted, the digits that
// follow are read, anything after them is ignored; a minus sign negates in the unsigned type.

#include <cstdint>
#include <string>

namespace zelvane {

// std::invalid_argument "invalid stoul argument" without digits; std::out_of_range
// "stoul argument out of range" beyond 32 bits.
std::uint32_t StoulText(const std::wstring& text);
// The same for 64 bits, "stoull" in the messages.
std::uint64_t StoullText(const std::wstring& text);
// The leading number as a float; "invalid stof argument" / "stof argument out of range".
float StofText(const std::wstring& text);

}  // namespace zelvane
