#include "pages/is_url.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

#include "fakes/fake_text_codec.h"

namespace zelvane {
namespace {

// The pattern the matcher stands in for, run by the standard library as the oracle.
const std::regex& Oracle() {
  static const std::regex pattern(R"(^((http|https):\/\/)?([\w.-]+)(\.[\w.-]+)+([\/?#].*)?$)",
                                  std::regex::ECMAScript);
  return pattern;
}

bool OracleMatches(const std::string& text) { return std::regex_search(text, Oracle()); }

TEST(IsUrl, TableOfCases) {
  struct Case {
    std::string text;
    bool url;
  } cases[] = {
      {"https://download.test/f/zvweb.exe", true},
      {"http://a.b", true},
      {"https://a.b/", true},
      {"https://a.b?x=1", true},
      {"a.b#frag", true},
      {"setup.exe", true},          // a bare file name with an extension is taken for a host
      {"setup_1.2.zip", true},
      {"folder/setup.exe", false},  // a folder part: the part before '/' has no dot
      {"setup", false},
      {".exe", false},  // the dot must not be first
      {"a.", false},    // nor last
      {"a..", true},    // ... but a second dot can be last
      {"-.-", true},
      {"_._", true},
      {"", false},
      {"https://", false},
      {"https://a", false},
      {"HTTPS://a.b", false},  // the scheme is lower case only
      {"ftp://a.b", false},
      {"https://a.b:8443/x", false},  // a port is no host character and starts no tail
      {"user@a.b", false},
      {"a b.c", false},
      {"http://https://a.b", false},
      {"https//a.b", false},
      {"a.b/x\ny", false},  // the tail is one line
      {"a.b/x\r", false},
      {"a.b\n", false},
      {std::string("a.b/\0x", 6), true},
      {"a.b/\x80\xFF", true},
      {"\xE9.b", false},  // only ASCII letters are word characters
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUrl(c.text), c.url) << '"' << c.text << '"';
    EXPECT_EQ(OracleMatches(c.text), c.url) << "oracle disagrees with the table on \"" << c.text << '"';
  }
}

TEST(IsUrl, AgreesWithTheRegularExpressionOnGeneratedTexts) {
  // Texts shaped like the pattern (a scheme or near-scheme, a host run, a tail), then damaged at a few
  // places with the characters the pattern cares about, so both answers and the borders between them
  // come up often.
  const std::string prefixes[] = {"", "", "http://", "https://", "http:/", "HTTP://", "https:", "http://https://"};
  const std::string hostCharacters = "ab.-_Z9..";
  std::string anyCharacters = "ab.-_Z9/?#:@ \n\r\x80\xE9\t";
  anyCharacters += '\0';
  std::mt19937 random(20261210);
  const auto pick = [&](std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random); };
  int matched = 0;
  const int total = 40000;
  for (int i = 0; i < total; ++i) {
    std::string text = prefixes[pick(std::size(prefixes))];
    for (std::size_t n = pick(9); n > 0; --n) text += hostCharacters[pick(hostCharacters.size())];
    if (pick(2) == 0) {
      text += "/?#"[pick(3)];
      for (std::size_t n = pick(7); n > 0; --n) text += anyCharacters[pick(anyCharacters.size())];
    }
    for (std::size_t n = pick(3); n > 0 && !text.empty(); --n) text[pick(text.size())] = anyCharacters[pick(anyCharacters.size())];
    const bool expected = OracleMatches(text);
    matched += expected;
    ASSERT_EQ(IsUrl(text), expected) << "text of " << text.size() << " bytes: \"" << text << '"';
  }
  // The generated set must exercise both answers, or it proves little.
  EXPECT_GT(matched, total / 10);
  EXPECT_LT(matched, total - total / 10);
}

TEST(IsUrl, WideTextIsMatchedInTheThreadAnsiCodePage) {
  testing::FakeTextCodec codec;
  EXPECT_TRUE(IsUrl(std::wstring(L"https://download.test/f/\u00fc\u2603.exe"), codec));
  EXPECT_EQ(codec.NarrowedWith(L"https://download.test/f/\u00fc\u2603.exe"), CodePage::ThreadAnsi);
  // A host character the code page lacks becomes '?', which ends the host.
  EXPECT_FALSE(IsUrl(std::wstring(L"\u2603.test"), codec));
}

}  // namespace
}  // namespace zelvane
