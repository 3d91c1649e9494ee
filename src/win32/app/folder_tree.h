#pragma once
#include <string>

namespace zelvane::win32 {

// Deletes a folder with everything in it, the folder itself included (an empty one too). Links
// (reparse points) inside are removed, never followed. Whatever cannot be deleted now (in use,
// access denied) is scheduled for deletion at the next restart.
void DeleteFolderTree(const std::wstring& path);

}  // namespace zelvane::win32
