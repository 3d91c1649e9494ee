#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/text_encoding.h"
#include "app/web_link.h"

namespace zelvane {
namespace {

TEST(TextEncoding, RoundTripsAndReplacesInvalidInput) {
  const std::string utf8 = "a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, ñ, €, 😀
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(wide.substr(0, 3), L"a\u00F1\u20AC");
  EXPECT_EQ(WideToUtf8(wide), utf8);

  const struct {
    std::string input;
    std::wstring expected;
  } invalid[] = {
      {"\xFF" "a", L"\uFFFD" L"a"},
      {"\xC3", L"\uFFFD"},                     // cut short
      {"\xC0\xAF", L"\uFFFD\uFFFD"},           // over-long form
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"}, // a surrogate is no character
      {"\xE2\x82" "x", L"\uFFFD" L"x"},
  };
  for (const auto& c : invalid) EXPECT_EQ(Utf8ToWide(c.input), c.expected);
}

TEST(TextEncoding, DecimalTextWritesWhatToWstringWrites) {
  using I32 = std::numeric_limits<std::int32_t>;
  using U32 = std::numeric_limits<std::uint32_t>;
  using I64 = std::numeric_limits<std::int64_t>;
  using U64 = std::numeric_limits<std::uint64_t>;
  EXPECT_EQ(DecimalText(0), std::to_wstring(0));
  EXPECT_EQ(DecimalText(I32::min()), std::to_wstring(I32::min()));
  EXPECT_EQ(DecimalText(U32::max()), std::to_wstring(U32::max()));
  EXPECT_EQ(DecimalText(I64::min()), std::to_wstring(I64::min()));
  EXPECT_EQ(DecimalText(U64::max()), std::to_wstring(U64::max()));
}

TEST(WebLink, OnlyHttpAndHttpsAddressesOpen) {
  const struct {
    const wchar_t* url;
    bool opens;
  } cases[] = {
      {L"https://www.zelvane.test/legal/terms-of-use/", true},
      {L"http://example.test", true},
      {L"HTTPS://Example.test/x?y=1", true},
      {L"", false},
      {L"https://", false},
      {L"https:///etc/passwd", false},
      {L"file:///C:/Windows/System32/calc.exe", false},
      {L"C:\\Windows\\System32\\calc.exe", false},
      {L"calc", false},
      {L"javascript:alert(1)", false},
      {L"ms-settings:", false},
      {L"\\\\server\\share\\setup.exe", false},
      {L"httpx://example.test", false},
      {L" https://example.test", false},
      {L"https://example.test/a b", false},
      {L"[LICENSE_TOS_URL]", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsOpenableWebUrl(c.url), c.opens) << std::wstring(c.url).c_str();
}

}  // namespace
}  // namespace zelvane
