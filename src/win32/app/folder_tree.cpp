#include "app/folder_tree.h"

#include <windows.h>

#include "common/handles.h"

namespace zelvane::win32 {

namespace {

void DeleteAtRestart(const std::wstring& path) {
  (void)::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void DeleteOneFile(const std::wstring& path, DWORD attributes) {
  if (::DeleteFileW(path.c_str())) return;
  DWORD error = ::GetLastError();
  if (error == ERROR_ACCESS_DENIED && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    if (::DeleteFileW(path.c_str())) return;
    error = ::GetLastError();
  }
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) DeleteAtRestart(path);
}

void RemoveFolder(const std::wstring& path) {
  if (!::RemoveDirectoryW(path.c_str())) DeleteAtRestart(path);
}

}  // namespace

void DeleteFolderTree(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    RemoveFolder(path);  // the link, not what it points at
    return;
  }

  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    // A read-only folder keeps its entries and itself from being removed.
    (void)::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }

  WIN32_FIND_DATAW entry{};
  FindHandle find(::FindFirstFileW((path + L"\\*.*").c_str(), &entry));
  if (find) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        DeleteFolderTree(child);
      } else {
        DeleteOneFile(child, entry.dwFileAttributes);
      }
    } while (::FindNextFileW(find.get(), &entry));
  }
  find.reset();
  RemoveFolder(path);
}

}  // namespace zelvane::win32
