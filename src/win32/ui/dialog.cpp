#include "ui/dialog.h"

namespace zelvane::win32 {

Dialog::~Dialog() { Destroy(); }

INT_PTR Dialog::DoModal(HWND owner) {
  modal_ = true;
  const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                                           &Dialog::Procedure, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  modal_ = false;
  return result;
}

bool Dialog::Create(HWND parent) {
  modal_ = false;
  return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                              &Dialog::Procedure, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::Destroy() {
  if (hwnd_ != nullptr && !modal_) {
    ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
}

void Dialog::EndDialog(INT_PTR result) {
  if (hwnd_ == nullptr) return;
  if (modal_) {
    ::EndDialog(hwnd_, result);
  } else {
    Destroy();
  }
}

void Dialog::SetBackgroundColour(COLORREF colour) {
  backgroundColour_ = colour;
  backgroundBrush_.reset(::CreateSolidBrush(colour));
  if (hwnd_ != nullptr) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH Dialog::OnCtlColor(HDC dc, HWND /*control*/, UINT message) {
  if (!backgroundBrush_) return nullptr;
  if (message == WM_CTLCOLORDLG) return backgroundBrush_.get();
  if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
    ::SetBkColor(dc, backgroundColour_);
    return backgroundBrush_.get();
  }
  return nullptr;
}

void Dialog::OnClose() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
    return FALSE;
  }
  return self->Dispatch(message, wParam, lParam);
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return TRUE;
      if (LOWORD(wParam) == IDCANCEL && lParam == 0) {
        // Escape and the system menu's close arrive here; route them through the close handling.
        OnClose();
        return TRUE;
      }
      if (LOWORD(wParam) == IDOK && lParam == 0) return TRUE;  // Enter does not end a wizard page
      return FALSE;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), &result)) return FALSE;
      ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<INT_PTR>(
          OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
    case WM_CLOSE:
      OnClose();
      return TRUE;
    default: {
      LRESULT result = 0;
      if (!OnMessage(message, wParam, lParam, &result)) return FALSE;
      if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);  // returned directly, not in DWLP_MSGRESULT
      ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
      return TRUE;
    }
  }
}

}  // namespace zelvane::win32
