// The main dialog created for real in this process and answered from a second thread.

#include "wizard/orvane_dlg.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "app/configuration_manager.h"
#include "resource.h"
#include "window_watch.h"

namespace zelvane {
namespace {

using testing::ClickButton;
using testing::WaitForDialog;
using testing::Watcher;
using testing::WindowText;

const std::wstring kCaption = L"Zelvane Web ";

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool MutexExists() {
  win32::KernelHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, win32::SingleInstanceMutexName("ISV").c_str()));
  return static_cast<bool>(mutex);
}

std::wstring MenuItemText(HMENU menu, UINT id) {
  wchar_t text[128] = {};
  return ::GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND) > 0 ? text : L"";
}

TEST(MainDialog, ShowsTheIsvFrameAndRemovesItsWorkFolderOnClose) {
  const auto config = ConfigurationManager::Instance();
  const std::wstring workFolder = config->workFolder;
  ASSERT_TRUE(Exists(workFolder));

  std::atomic<bool> checked{false};
  Watcher watcher([&] {
    HWND dialog = WaitForDialog(kCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(MutexExists());
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, IDC_TITLE))) << "the title line is hidden";
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, IDC_LOGO)));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, IDC_HEADER_LINE)));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, IDC_BOTTOM_STRIP)));
    EXPECT_EQ(WindowText(::GetDlgItem(dialog, IDC_TITLE)), L"Zelvane Web");
    EXPECT_EQ(MenuItemText(::GetSystemMenu(dialog, FALSE), IDM_ABOUTBOX), L"&About Orvane...");
    EXPECT_NE(::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0), 0);

    // The About box from the system menu.
    ::PostMessageW(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = WaitForDialog(L"About Orvane");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(WindowText(::GetDlgItem(about, IDC_ABOUT_VERSION)), L"Orvane, Version 3.2.0.6031");
    ClickButton(about, IDOK);
    for (int i = 0; i < 250 && ::IsWindow(about); ++i) ::Sleep(20);
    EXPECT_FALSE(::IsWindow(about));

    // The language page is the first page; closing there asks first.
    bool languagePage = false;
    for (HWND page = ::FindWindowExW(dialog, nullptr, L"#32770", nullptr); page != nullptr;
         page = ::FindWindowExW(dialog, page, L"#32770", nullptr)) {
      if (::IsWindowVisible(page) && ::GetDlgItem(page, IDC_NEXT) != nullptr) languagePage = true;
    }
    EXPECT_TRUE(languagePage) << "the language page shows";
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    HWND question = WaitForDialog(L"");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(WindowText(::GetDlgItem(question, 0xFFFF)), L"Are you sure you want to exit the installer?");
    checked = true;
    ClickButton(question, IDOK);
  });

  win32::COrvaneDlg dialog;
  dialog.DoModal();
  EXPECT_TRUE(checked);
  EXPECT_FALSE(MutexExists()) << "released when the window closes";
  EXPECT_TRUE(config->closing);
  EXPECT_FALSE(Exists(workFolder));
}

TEST(MainDialog, ASecondCopyIsRefusedAndLeavesNoWorkFolder) {
  win32::KernelHandle first(::CreateMutexW(nullptr, TRUE, win32::SingleInstanceMutexName("ISV").c_str()));
  ASSERT_TRUE(first);
  const std::wstring workFolder = ConfigurationManager::Instance()->workFolder;
  ::CreateDirectoryW(workFolder.c_str(), nullptr);  // when an earlier test in this process removed it
  ASSERT_TRUE(Exists(workFolder));

  std::wstring text;
  Watcher watcher([&] {
    HWND box = WaitForDialog(L"Error");
    ASSERT_NE(box, nullptr);
    text = WindowText(::GetDlgItem(box, 0xFFFF));
    ClickButton(box, IDOK);
  });

  win32::COrvaneDlg dialog;
  EXPECT_EQ(dialog.DoModal(), 1);
  EXPECT_EQ(text, L"Another setup is already running, please close it and try again");
  EXPECT_FALSE(Exists(workFolder));
  EXPECT_EQ(WaitForDialog(kCaption, 0), nullptr) << "the wizard never showed";
}

}  // namespace
}  // namespace zelvane
