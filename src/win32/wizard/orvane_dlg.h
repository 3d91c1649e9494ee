#pragma once
// The wizard's only top-level window: hosts the pages and runs the orderly shut-down.

#include <memory>
#include <string>

#include "app/configuration_manager.h"
#include "common/handles.h"
#include "ui/dialog.h"

namespace zelvane::win32 {

// "Global\Orvane" + wizard type name + "SingleInstanceMutex".
std::wstring SingleInstanceMutexName(const std::string& wizardTypeName);

class COrvaneDlg : public Dialog {
 public:
  COrvaneDlg();
  ~COrvaneDlg() override;

  void DeleteWorkFolder();

 protected:
  BOOL OnInitDialog() override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
  void OnClose() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  // Ends the dialog before it ever showed: the copy leaves nothing behind.
  void Refuse();

  HICON m_hIcon;
  Control m_title;
  Control m_logo;
  Control m_headerLine;
  Control m_bottomStrip;
  UniqueBrush m_accentBrush;
  KernelHandle m_instanceMutex;
  std::shared_ptr<ConfigurationManager> m_config;
};

}  // namespace zelvane::win32
