#include "download/target_path.h"

namespace zelvane {

bool AppendPath(std::wstring& path, const std::wstring& more) {
  std::wstring joined = path;
  const std::size_t start = more.find_first_not_of(L'\\');
  const std::wstring tail = start == std::wstring::npos ? L"" : more.substr(start);
  if (!joined.empty() && !tail.empty() && joined.back() != L'\\') joined += L'\\';
  joined += tail;
  if (joined.size() >= kMaxPath) return false;
  path = std::move(joined);
  return true;
}

}  // namespace zelvane
