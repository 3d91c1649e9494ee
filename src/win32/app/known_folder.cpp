#include "app/known_folder.h"

#include "common/handles.h"

namespace zelvane::win32 {

std::wstring GetKnownFolder(REFKNOWNFOLDERID id) {
  CoTaskString path;
  if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.put())) || !path) return L"";
  return path.get();
}

}  // namespace zelvane::win32
