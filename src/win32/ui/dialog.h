#pragma once
// A small dialog layer: one class per dialog template, messages dispatched to virtual handlers.

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace zelvane::win32 {

// A child control of a dialog, found by its id.
class Control {
 public:
  Control() = default;
  void Attach(HWND dialog, int id) {
    hwnd_ = ::GetDlgItem(dialog, id);
    id_ = id;
  }
  HWND hwnd() const { return hwnd_; }
  int id() const { return id_; }
  void SetText(const std::wstring& text) const { ::SetWindowTextW(hwnd_, text.c_str()); }
  void Show(bool visible) const { ::ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE); }

 private:
  HWND hwnd_ = nullptr;
  int id_ = 0;
};

class Dialog {
 public:
  explicit Dialog(UINT templateId) : templateId_(templateId) {}
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog();

  // Runs the dialog modally and returns the result it was ended with (-1 when it could not be made).
  INT_PTR DoModal(HWND owner = nullptr);
  // Creates the dialog as a modeless window (a child when its template says so).
  bool Create(HWND parent);
  void Destroy();
  void EndDialog(INT_PTR result);

  HWND hwnd() const { return hwnd_; }
  UINT templateId() const { return templateId_; }
  // Paints the dialog and its static controls on this colour (0x00BBGGRR).
  void SetBackgroundColour(COLORREF colour);

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // Returns true when the command was handled.
  virtual bool OnCommand(WORD /*id*/, WORD /*code*/, HWND /*control*/) { return false; }
  virtual bool OnNotify(NMHDR* /*header*/, LRESULT* /*result*/) { return false; }
  virtual void OnTimer(UINT_PTR /*id*/) {}
  // The brush for a WM_CTLCOLOR… message; null for the default.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);
  virtual void OnClose();
  // Any other message; returns true when handled, with its result in `result`.
  virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT* /*result*/) { return false; }

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  UINT templateId_;
  HWND hwnd_ = nullptr;
  bool modal_ = false;
  UniqueBrush backgroundBrush_;
  COLORREF backgroundColour_ = 0;
};

}  // namespace zelvane::win32
