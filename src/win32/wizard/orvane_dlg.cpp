#include "wizard/orvane_dlg.h"

#include "app/folder_tree.h"
#include "resource.h"
#include "wizard/about_dlg.h"

namespace zelvane::win32 {

namespace {

constexpr UINT kMessageBoxStopSystemModal = MB_ICONSTOP | MB_SYSTEMMODAL;  // 0x1010

std::wstring LoadResourceString(UINT id) {
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

std::wstring SingleInstanceMutexName(const std::string& wizardTypeName) {
  return L"Global\\Orvane" + std::wstring(wizardTypeName.begin(), wizardTypeName.end()) + L"SingleInstanceMutex";
}

COrvaneDlg::COrvaneDlg()
    : Dialog(IDD_ORVANE_DIALOG),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_config(ConfigurationManager::Instance()) {}

COrvaneDlg::~COrvaneDlg() {
  // GDI+ images must be gone before GDI+ shuts down, which happens after this window.
  m_config->logoImage.reset();
}

BOOL COrvaneDlg::OnInitDialog() {
  if (HMENU menu = ::GetSystemMenu(hwnd(), FALSE)) {
    const std::wstring about = LoadResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_instanceMutex.reset(::CreateMutexW(nullptr, TRUE, SingleInstanceMutexName(CompiledProfile().wizardTypeName).c_str()));
  if (m_instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    m_instanceMutex.reset();
    ::MessageBoxW(hwnd(), L"Another setup is already running, please close it and try again", L"Error",
                  kMessageBoxStopSystemModal);
    Refuse();
    return FALSE;
  }

  switch (m_config->wizardType) {
    case kWizardDlm:
      ::SetWindowTextW(hwnd(), L"Setup");
      break;
    case kWizardIsv:
      ::SetWindowTextW(hwnd(), (m_config->productTitle + L" ").c_str());
      break;
    default:
      ::MessageBoxW(hwnd(), L"Invalid wizard type", ApplicationName(SystemPlatform().machine).c_str(),
                    kMessageBoxStopSystemModal);
      Refuse();
      return FALSE;
  }

  m_title.Attach(hwnd(), IDC_TITLE);
  m_logo.Attach(hwnd(), IDC_LOGO);
  m_headerLine.Attach(hwnd(), IDC_HEADER_LINE);
  m_bottomStrip.Attach(hwnd(), IDC_BOTTOM_STRIP);
  m_accentBrush.reset(::CreateSolidBrush(m_config->accentColour));
  m_title.SetText(m_config->productTitle);

  if (m_config->wizardType == kWizardIsv) {
    m_logo.Show(false);
    m_headerLine.Show(false);
  }
  m_title.Show(false);
  return TRUE;
}

void COrvaneDlg::Refuse() {
  DeleteWorkFolder();
  EndDialog(1);
}

HBRUSH COrvaneDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control != nullptr && control == m_bottomStrip.hwnd()) {
    ::SetBkMode(dc, TRANSPARENT);
    return m_accentBrush.get();
  }
  return Dialog::OnCtlColor(dc, control, message);
}

void COrvaneDlg::OnClose() {
  m_instanceMutex.reset();
  ::ShowWindow(hwnd(), SW_HIDE);
  m_config->closing = true;
  DeleteWorkFolder();
  EndDialog(IDCANCEL);
}

void COrvaneDlg::DeleteWorkFolder() {
  if (!m_config->workFolder.empty()) DeleteFolderTree(m_config->workFolder);
}

bool COrvaneDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
      OnSysCommand(static_cast<UINT>(wParam), lParam);
      *result = 0;
      return true;
    case WM_PAINT:
      if (!::IsIconic(hwnd())) return false;
      OnPaint();
      *result = 0;
      return true;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    default:
      return false;
  }
}

void COrvaneDlg::OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) {
  CAboutDlg about(m_config->programVersion);
  about.DoModal(hwnd());
}

void COrvaneDlg::OnPaint() {
  // Minimised: draw the icon centred in the client area.
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd(), &paint);
  ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(hwnd(), &paint);
}

}  // namespace zelvane::win32
