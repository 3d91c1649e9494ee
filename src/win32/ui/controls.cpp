#include "ui/controls.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/web_link.h"
#include "common/handles.h"

namespace zelvane::win32 {

namespace {

constexpr wchar_t kLinkClass[] = L"MfcLink";
constexpr COLORREF kLinkColour = RGB(0, 102, 204);

// Per-window state of a hyperlink, owned by the window (made at WM_NCCREATE, freed at WM_NCDESTROY).
struct LinkState {
  std::wstring url;
  HFONT font = nullptr;  // the dialog's font, not ours
  UniqueFont underlined;
  bool pressed = false;
};

LinkState* StateOf(HWND hwnd) { return reinterpret_cast<LinkState*>(::GetWindowLongPtrW(hwnd, 0)); }

std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetLinkFont(LinkState* state, HFONT font) {
  state->font = font;
  LOGFONTW logFont{};
  HGDIOBJ source = font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT);
  if (::GetObjectW(source, sizeof logFont, &logFont) == sizeof logFont) {
    logFont.lfUnderline = TRUE;
    state->underlined.reset(::CreateFontIndirectW(&logFont));
  }
}

void Paint(HWND hwnd, LinkState* state) {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd, &paint);
  RECT client{};
  ::GetClientRect(hwnd, &client);
  // The parent decides the background, as it does for its static controls.
  HWND parent = ::GetParent(hwnd);
  auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(hwnd)));
  ::FillRect(dc, &client, brush != nullptr ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::IsWindowEnabled(hwnd) ? kLinkColour : ::GetSysColor(COLOR_GRAYTEXT));
  HGDIOBJ old = ::SelectObject(dc, state->underlined ? state->underlined.get() : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring text = TextOf(hwnd);
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  if (::GetFocus() == hwnd) ::DrawFocusRect(dc, &client);
  ::SelectObject(dc, old);
  ::EndPaint(hwnd, &paint);
}

LRESULT CALLBACK LinkProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LinkState* state = StateOf(hwnd);
  switch (message) {
    case WM_NCCREATE:
      state = new LinkState;
      ::SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
      SetLinkFont(state, nullptr);
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, 0, 0);
      delete state;
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
    default:
      break;
  }
  if (state == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);

  switch (message) {
    case WM_SETFONT:
      SetLinkFont(state, reinterpret_cast<HFONT>(wParam));
      if (LOWORD(lParam) != 0) ::InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(state->font);
    case WM_SETTEXT: {
      const LRESULT result = ::DefWindowProcW(hwnd, message, wParam, lParam);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_PAINT:
      Paint(hwnd, state);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted with the text
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_GETDLGCODE: {
      // Enter on a focused link opens it instead of pressing the page's default button.
      const auto* pending = reinterpret_cast<const MSG*>(lParam);
      if (pending != nullptr && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
      return DLGC_BUTTON;
    }
    case WM_LBUTTONDOWN:
      state->pressed = true;
      ::SetCapture(hwnd);
      ::SetFocus(hwnd);
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = state->pressed;
      state->pressed = false;
      ::ReleaseCapture();
      RECT client{};
      ::GetClientRect(hwnd, &client);
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (wasPressed && ::PtInRect(&client, at)) (void)OpenWebLink(state->url);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE || wParam == VK_RETURN) {
        (void)OpenWebLink(state->url);
        return 0;
      }
      break;
    case BM_CLICK:
      (void)OpenWebLink(state->url);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterPageControlClasses() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW link{};
    link.cbSize = sizeof link;
    link.style = CS_PARENTDC | CS_HREDRAW | CS_VREDRAW;
    link.lpfnWndProc = &LinkProcedure;
    link.cbWndExtra = sizeof(LinkState*);
    link.hInstance = ::GetModuleHandleW(nullptr);
    link.hCursor = ::LoadCursorW(nullptr, IDC_HAND);
    link.lpszClassName = kLinkClass;
    return ::RegisterClassExW(&link) != 0;
  }();
  (void)registered;
}

bool OpenWebLink(const std::wstring& url) {
  if (!IsOpenableWebUrl(url)) return false;
  const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

void HyperlinkControl::SetUrl(const std::wstring& url) {
  if (LinkState* state = hwnd_ != nullptr ? StateOf(hwnd_) : nullptr) state->url = url;
}

std::wstring HyperlinkControl::Url() const {
  const LinkState* state = hwnd_ != nullptr ? StateOf(hwnd_) : nullptr;
  return state != nullptr ? state->url : std::wstring();
}

void HyperlinkControl::SizeToContent() {
  if (hwnd_ == nullptr) return;
  LinkState* state = StateOf(hwnd_);
  HDC dc = ::GetDC(hwnd_);
  HGDIOBJ old = ::SelectObject(dc, state != nullptr && state->underlined ? state->underlined.get()
                                                                           : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring text = TextOf(hwnd_);
  RECT size{};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &size, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd_, dc);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, size.right - size.left, size.bottom - size.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace zelvane::win32
