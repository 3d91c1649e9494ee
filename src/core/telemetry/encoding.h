#pragma once
// The two encoders of the tracking parameters.

#include <cstdint>
#include <string>
#include <vector>

namespace zelvane {

// The affiliate identifier of a country code (exact, case-sensitive); "91082" for any other code.
std::string CountryAffiliateId(const std::string& countryCode);

// The bytes read as one big-endian unsigned number, written in base 62 with the digits
// "0-9a-zA-Z"; leading zero bytes give no characters, so "" for no bytes and for zeros only.
std::string Base62Encode(const std::vector<std::uint8_t>& bytes);
std::string Base62EncodeText(const std::string& text);

}  // namespace zelvane
