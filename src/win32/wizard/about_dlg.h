#pragma once
#include <string>

#include "ui/dialog.h"

namespace zelvane::win32 {

// "Orvane, Version x.y.z.w" with the program's icon and an OK button.
class CAboutDlg : public Dialog {
 public:
  explicit CAboutDlg(std::wstring version);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  std::wstring version_;
};

}  // namespace zelvane::win32
