#include "telemetry/encoding.h"

#include <cmath>
#include <stdexcept>
#include <unordered_map>

namespace zelvane {

namespace {

using AffiliateTable = std::unordered_map<std::string, std::string>;

AffiliateTable BuildAffiliateTable() {
  struct Group {
    const char* id;
    std::initializer_list<const char*> countries;
  };
  const Group groups[] = {
      {"91088", {"US"}},
      {"91166", {"CA"}},
      {"91199", {"BR"}},
      {"91214", {"AU", "NZ", "KR"}},
      {"91105", {"DZ", "BG", "CY", "CZ", "EG", "GR", "HU", "IE", "IL", "KW", "MA", "PL",
                 "PT", "QA", "RO", "RU", "SA", "SK", "ZA", "TN", "TR", "UA", "AE"}},
      {"91215", {"TH", "MX", "PH", "AR", "VN", "TW", "PE", "CL", "CO", "VE", "RS", "LK", "DO", "JO", "HK", "LT", "PS",
                 "HR", "CR", "BA", "SV", "GE", "MD", "AL", "UY", "BY", "LB", "SN", "PA", "LV", "ID", "PK", "SG"}},
  };
  AffiliateTable table;
  for (const auto& group : groups) {
    for (const char* country : group.countries) table.emplace(country, group.id);
  }
  return table;
}

}  // namespace

std::string CountryAffiliateId(const std::string& countryCode) {
  static const AffiliateTable table = BuildAffiliateTable();  // built once, thread-safe
  const auto it = table.find(countryCode);
  return it == table.end() ? "91082" : it->second;
}

std::string Base62Encode(const std::vector<std::uint8_t>& bytes) {
  static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  if (bytes.empty()) return "";

  std::size_t zeros = 0;
  while (zeros < bytes.size() && bytes[zeros] == 0) ++zeros;
  const auto size = static_cast<std::ptrdiff_t>(
      std::ceil(static_cast<double>(bytes.size() - zeros) * std::log(256.0) / std::log(62.0)));
  std::vector<std::uint32_t> digits(static_cast<std::size_t>(size), 0);

  std::ptrdiff_t length = 0;
  for (std::size_t index = zeros; index < bytes.size(); ++index) {
    std::uint32_t carry = bytes[index];
    std::ptrdiff_t i = 0;
    for (std::ptrdiff_t p = size - 1; carry != 0 || i < length; --p, ++i) {
      if (p < 0) {
        if (carry == 0) break;
        throw std::runtime_error("Non-zero carry");
      }
      carry += 256 * digits[static_cast<std::size_t>(p)];
      digits[static_cast<std::size_t>(p)] = carry % 62;
      carry /= 62;
    }
    length = i;
  }

  std::size_t first = 0;
  while (first < digits.size() && digits[first] == 0) ++first;
  std::string text;
  text.reserve(digits.size() - first);
  for (std::size_t i = first; i < digits.size(); ++i) text += kAlphabet[digits[i]];
  return text;
}

std::string Base62EncodeText(const std::string& text) {
  return Base62Encode(std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace zelvane
