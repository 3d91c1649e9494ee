#include "telemetry/encoding.h"

#include <gtest/gtest.h>

#include <set>

namespace zelvane {
namespace {

TEST(CountryAffiliateId, LooksUpTheWholeCodeExactly) {
  const std::pair<const char*, const char*> cases[] = {
      {"US", "91088"}, {"CA", "91166"}, {"BR", "91199"}, {"AU", "91214"}, {"NZ", "91214"}, {"KR", "91214"},
      {"DZ", "91105"}, {"AE", "91105"}, {"ZA", "91105"}, {"TH", "91215"}, {"SG", "91215"}, {"MX", "91215"},
      {"us", "91082"}, {"GB", "91082"}, {"", "91082"},    {"USA", "91082"}, {"U", "91082"}, {" US", "91082"},
  };
  for (const auto& [code, id] : cases) EXPECT_EQ(CountryAffiliateId(code), id) << code;
}

TEST(CountryAffiliateId, TableHasSixtyTwoCountries) {
  // Every two-letter upper-case code, counted by what it maps to.
  int listed = 0;
  std::set<std::string> values;
  for (char a = 'A'; a <= 'Z'; ++a) {
    for (char b = 'A'; b <= 'Z'; ++b) {
      const std::string id = CountryAffiliateId(std::string{a, b});
      if (id != "91082") {
        ++listed;
        values.insert(id);
      }
    }
  }
  EXPECT_EQ(listed, 62);
  EXPECT_EQ(values, (std::set<std::string>{"91088", "91166", "91199", "91214", "91105", "91215"}));
}

TEST(Base62, EncodesTheBytesAsOneBigEndianNumber) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string text;
  };
  const Case cases[] = {
      {{}, ""},
      {{0}, ""},
      {{0, 0, 0}, ""},
      {{1}, "1"},
      {{61}, "Z"},
      {{62}, "10"},
      {{0, 0, 1}, "1"},
      {{255}, "47"},
      {{1, 0}, "48"},                      // 256 = 4 * 62 + 8
      {{0xFF, 0xFF, 0xFF, 0xFF}, "4GFfc3"},  // 4294967295
      {{0, 1, 0}, "48"},
  };
  for (const auto& c : cases) EXPECT_EQ(Base62Encode(c.bytes), c.text) << c.text;
}

TEST(Base62, TextIsEncodedAsItsBytes) {
  EXPECT_EQ(Base62EncodeText("\x3d"), "Z");
  EXPECT_EQ(Base62EncodeText(std::string("\0\0\x01", 3)), "1");
  EXPECT_EQ(Base62EncodeText("\xff"), "47") << "bytes are unsigned";
  // Long input: no carry is lost (compared with a plain base conversion of the same number).
  const std::string text = "https://offer.test/p?u=6f1c2a3e-0000-4000-8000-00000000abcd&s=20251210130000";
  const std::string encoded = Base62EncodeText(text);
  std::vector<std::uint32_t> number(text.begin(), text.end());
  for (auto& v : number) v &= 0xFF;
  std::string expected;
  while (!number.empty()) {
    std::uint32_t remainder = 0;
    std::vector<std::uint32_t> quotient;
    for (const std::uint32_t digit : number) {
      const std::uint32_t value = remainder * 256 + digit;
      if (!quotient.empty() || value / 62 != 0) quotient.push_back(value / 62);
      remainder = value % 62;
    }
    expected.insert(expected.begin(), "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"[remainder]);
    number = quotient;
  }
  EXPECT_EQ(encoded, expected);
}

}  // namespace
}  // namespace zelvane
