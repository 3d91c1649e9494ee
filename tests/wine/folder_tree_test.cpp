// Removing the work folder with real files.

#include "app/folder_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/system_platform.h"
#include "common/handles.h"

namespace zelvane {
namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFile(const std::wstring& path, const char* text) {
  win32::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr));
}

class FolderTree : public ::testing::Test {
 protected:
  void SetUp() override {
    win32::SystemMachine machine;
    root_ = machine.TempPath() + L"zelvane-tree-" + std::to_wstring(::GetCurrentProcessId());
    win32::DeleteFolderTree(root_);
    ASSERT_TRUE(::CreateDirectoryW(root_.c_str(), nullptr));
  }
  void TearDown() override { win32::DeleteFolderTree(root_); }

  std::wstring root_;
};

TEST_F(FolderTree, RemovesNestedFilesReadOnlyEntriesAndEmptyFolders) {
  const std::wstring work = root_ + L"\\ISV1234.tmp";
  ASSERT_TRUE(::CreateDirectoryW(work.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((work + L"\\sub").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((work + L"\\sub\\deeper").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((work + L"\\empty").c_str(), nullptr));
  WriteFile(work + L"\\setup.exe", "MZ");
  WriteFile(work + L"\\sub\\deeper\\offer.zip", "PK");
  WriteFile(work + L"\\readonly.txt", "r");
  ASSERT_TRUE(::SetFileAttributesW((work + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  WriteFile(work + L"\\sub\\inside-readonly-folder.txt", "f");
  ASSERT_TRUE(::SetFileAttributesW((work + L"\\sub").c_str(), FILE_ATTRIBUTE_READONLY));

  win32::DeleteFolderTree(work);
  EXPECT_FALSE(Exists(work));
}

TEST_F(FolderTree, RemovesAnEmptyFolderAndIgnoresMissingOnes) {
  const std::wstring empty = root_ + L"\\ISVEMPTY.tmp";
  ASSERT_TRUE(::CreateDirectoryW(empty.c_str(), nullptr));
  win32::DeleteFolderTree(empty);
  EXPECT_FALSE(Exists(empty));
  win32::DeleteFolderTree(empty);
  win32::DeleteFolderTree(L"");
  EXPECT_TRUE(Exists(root_));
}

}  // namespace
}  // namespace zelvane
