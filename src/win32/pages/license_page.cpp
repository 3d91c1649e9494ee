#include "pages/license_page.h"

#include <commctrl.h>
#include <richedit.h>

#include "app/configuration_manager.h"
#include "resource.h"
#include "ui/controls.h"

namespace zelvane::win32 {

namespace {

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

std::wstring ReplaceAll(std::wstring text, const std::wstring& placeholder, const std::wstring& value) {
  if (placeholder.empty()) return text;
  for (size_t at = text.find(placeholder); at != std::wstring::npos; at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
  return text;
}

LicensePageIsv::LicensePageIsv(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_LICENSE_PAGE) {}

BOOL LicensePageIsv::OnInitDialog() {
  IPage::OnInitDialog();
  const auto config = ConfigurationManager::Instance();
  m_licenseText.Attach(hwnd(), IDC_LICENSE_EULA);
  m_title.Attach(hwnd(), IDC_LICENSE_TITLE);
  m_links.Attach(hwnd(), IDC_LICENSE_LINKS);
  ::SendMessageW(m_licenseText.hwnd(), EM_AUTOURLDETECT, 1, 0);
  m_backgroundBrush.reset(::CreateSolidBrush(config->backgroundColour));

  AddLocalizedControl(IDC_LICENSE_TITLE, "LICENSE_TITLE");
  AddLocalizedControl(IDC_LICENSE_TEXT, "LICENSE_TEXT");
  AddLocalizedControl(IDC_LICENSE_EULA, "LICENSE_EULA");
  AddLocalizedControl(IDC_LICENSE_LINKS, "LICENSE_DISCLAIMER");
  AddLocalizedControl(IDC_AGREE, "BUTTON_AGREE");
  AddLocalizedControl(IDC_BACK, "BUTTON_BACK");
  AddLocalizedControl(IDC_PRODUCT_TITLE, "PRODUCT_TITLE");  // no such control here: no effect
  UpdateTexts();

  // The title in a heavy face of its own.
  auto font = reinterpret_cast<HFONT>(::SendMessageW(m_title.hwnd(), WM_GETFONT, 0, 0));
  LOGFONTW logFont{};
  if (::GetObjectW(font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof logFont,
                   &logFont) == sizeof logFont) {
    logFont.lfHeight = 12;
    logFont.lfWeight = 1000;
    m_titleFont.reset(::CreateFontIndirectW(&logFont));
    if (m_titleFont) ::SendMessageW(m_title.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont.get()), TRUE);
  }
  return TRUE;
}

void LicensePageIsv::OnNavigateToPage() {
  ::SendMessageW(m_licenseText.hwnd(), EM_SETSEL, 0, 0);
  ::SendMessageW(m_licenseText.hwnd(), EM_SCROLLCARET, 0, 0);
}

void LicensePageIsv::UpdateTexts() {
  IPage::UpdateTexts();
  FillLinks();
}

void LicensePageIsv::FillLinks() {
  if (m_links.hwnd() == nullptr) return;
  const auto config = ConfigurationManager::Instance();
  std::wstring text = WindowText(m_links.hwnd());
  text = ReplaceAll(std::move(text), L"[LICENSE_TOS_URL]", config->termsUrl);
  text = ReplaceAll(std::move(text), L"[LICENSE_PRIVACY_URL]", config->privacyUrl);
  m_links.SetText(text);
}

bool LicensePageIsv::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (code != BN_CLICKED) return false;
  if (id == IDC_AGREE) {
    if (m_buttonHandler) m_buttonHandler(ButtonType::Next);
    return true;
  }
  if (id == IDC_BACK) {
    if (m_buttonHandler) m_buttonHandler(ButtonType::Back);
    return true;
  }
  return false;
}

bool LicensePageIsv::OnNotify(NMHDR* header, LRESULT* result) {
  return OpenClickedLink(header, IDC_LICENSE_LINKS, result);
}

HBRUSH LicensePageIsv::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control != nullptr && control == m_links.hwnd()) {
    ::SetBkMode(dc, TRANSPARENT);
    return m_backgroundBrush.get();
  }
  return IPage::OnCtlColor(dc, control, message);
}

}  // namespace zelvane::win32
