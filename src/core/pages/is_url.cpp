#include "pages/is_url.h"

#include <cstring>

namespace zelvane {
namespace {

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
         c == '-';
}

// Whether the text from `from` on is a host run with an inner dot and an optional tail. The host run
// is taken whole: a tail has to start with a character the run cannot hold.
bool MatchesAfterScheme(const std::string& text, std::size_t from) {
  std::size_t end = from;
  while (end < text.size() && IsHostCharacter(text[end])) ++end;
  // One or more characters, a dot, one or more characters: the dot is inside the run.
  bool innerDot = false;
  for (std::size_t i = from + 1; i + 1 < end; ++i) {
    if (text[i] == '.') {
      innerDot = true;
      break;
    }
  }
  if (!innerDot) return false;
  if (end == text.size()) return true;
  const char lead = text[end];
  if (lead != '/' && lead != '?' && lead != '#') return false;
  return text.find_first_of("\n\r", end + 1) == std::string::npos;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

bool IsUrl(const std::string& text) {
  if (StartsWith(text, "https://") && MatchesAfterScheme(text, 8)) return true;
  if (StartsWith(text, "http://") && MatchesAfterScheme(text, 7)) return true;
  return MatchesAfterScheme(text, 0);
}

bool IsUrl(const std::wstring& text, TextCodec& codec) { return IsUrl(codec.ToNarrow(text, CodePage::ThreadAnsi)); }

}  // namespace zelvane
