// A program compiled with a wizard type name that is not in the table ("dlm", lower case).

#include <gtest/gtest.h>
#include <windows.h>

#include "app/configuration_manager.h"
#include "window_watch.h"
#include "wizard/orvane_dlg.h"

namespace zelvane {
namespace {

using testing::ClickButton;
using testing::WaitForDialog;
using testing::Watcher;
using testing::WindowText;

TEST(UnknownWizardType, IsReportedOnceAndTheWizardRefusesToRun) {
  std::vector<std::wstring> texts;
  Watcher watcher([&] {
    for (const wchar_t* caption : {L"zelvane_wine_unknown_type_tests", L"zelvane_wine_unknown_type_tests"}) {
      HWND box = WaitForDialog(caption);
      ASSERT_NE(box, nullptr) << texts.size();
      texts.push_back(WindowText(::GetDlgItem(box, 0xFFFF)));
      ClickButton(box, IDOK);
      for (int i = 0; i < 250 && ::IsWindow(box); ++i) ::Sleep(20);
    }
  });

  win32::COrvaneDlg dialog;  // asks for the record, which reports the unknown name
  const auto config = ConfigurationManager::Instance();
  EXPECT_EQ(config->wizardType, kWizardNone);
  EXPECT_EQ(config->workFolder, L"");
  EXPECT_EQ(dialog.DoModal(), 1);
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"Unknown wizard type", L"Invalid wizard type"}));
}

}  // namespace
}  // namespace zelvane
