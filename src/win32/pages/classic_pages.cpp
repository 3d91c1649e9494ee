#include "pages/classic_pages.h"

#include "app/configuration_manager.h"
#include "resource.h"

namespace zelvane::win32 {

ClassicPage::ClassicPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, int titleId)
    : IPage(std::move(languageManager), templateId), m_titleId(titleId) {}

BOOL ClassicPage::OnInitDialog() {
  IPage::OnInitDialog();
  m_title.Attach(hwnd(), m_titleId);
  m_backgroundBrush.reset(::CreateSolidBrush(ConfigurationManager::Instance()->backgroundColour));
  return TRUE;
}

void ClassicPage::Report(ButtonType button) const {
  if (m_buttonHandler) m_buttonHandler(button);
}

namespace {

// The title in a heavy face of its own, kept by the page.
void MakeTitleFont(const Control& title, UniqueFont& titleFont) {
  auto font = reinterpret_cast<HFONT>(::SendMessageW(title.hwnd(), WM_GETFONT, 0, 0));
  LOGFONTW logFont{};
  if (::GetObjectW(font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof logFont,
                   &logFont) != sizeof logFont) {
    return;
  }
  logFont.lfHeight = 12;
  logFont.lfWeight = 1000;
  titleFont.reset(::CreateFontIndirectW(&logFont));
  if (titleFont) ::SendMessageW(title.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont.get()), TRUE);
}

}  // namespace

WarningPageOstrelClassic::WarningPageOstrelClassic(std::shared_ptr<LanguageManager> languageManager)
    : ClassicPage(std::move(languageManager), IDD_WARNING_PAGE_CLASSIC, IDC_WARNING_TITLE) {}

BOOL WarningPageOstrelClassic::OnInitDialog() {
  ClassicPage::OnInitDialog();
  m_text.Attach(hwnd(), IDC_WARNING_TEXT);
  AddLocalizedControl(IDC_WARNING_TITLE, "WARNING_TITLE");
  AddLocalizedControl(IDC_WARNING_SUBTITLE, "WARNING_SUBTITLE");
  AddLocalizedControl(IDC_WARNING_TEXT, "WARNING_TEXT");
  AddLocalizedControl(IDC_NEXT, "BUTTON_NEXT");
  AddLocalizedControl(IDC_BACK, "BUTTON_BACK");
  AddLocalizedControl(IDC_PRODUCT_TITLE, "PRODUCT_TITLE");  // no such control here: no effect
  UpdateTexts();
  MakeTitleFont(m_title, m_titleFont);
  return TRUE;
}

bool WarningPageOstrelClassic::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (code != BN_CLICKED || (id != IDC_NEXT && id != IDC_BACK)) return false;
  Report(id == IDC_NEXT ? ButtonType::Next : ButtonType::Back);
  return true;
}

HBRUSH WarningPageOstrelClassic::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control != nullptr && control == m_text.hwnd()) {
    ::SetBkMode(dc, TRANSPARENT);
    return m_backgroundBrush.get();
  }
  return IPage::OnCtlColor(dc, control, message);
}

template <std::size_t N>
BOOL ClassicOptionsPage<N>::OnInitDialog() {
  ClassicPage::OnInitDialog();
  for (int box : m_boxes) ::SendDlgItemMessageW(this->hwnd(), box, BM_SETCHECK, BST_CHECKED, 0);
  return TRUE;
}

template <std::size_t N>
bool ClassicOptionsPage<N>::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (code != BN_CLICKED) return false;
  if (id == IDC_NEXT) {
    auto& options = ConfigurationManager::Instance()->classicOptions;
    for (std::size_t i = 0; i < N; ++i) {
      options[m_firstOption + i] = ::SendDlgItemMessageW(this->hwnd(), m_boxes[i], BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    Report(ButtonType::Next);
    return true;
  }
  // Only the configurations page has Back.
  if (id == IDC_BACK) {
    Report(ButtonType::Back);
    return true;
  }
  return false;
}

template class ClassicOptionsPage<3>;
template class ClassicOptionsPage<5>;

OptionsPageOstrelClassic::OptionsPageOstrelClassic(std::shared_ptr<LanguageManager> languageManager)
    : ClassicOptionsPage(std::move(languageManager), IDD_OPTIONS_PAGE_CLASSIC, IDC_OPTIONS_TITLE,
                         {IDC_OPTION_1, IDC_OPTION_2, IDC_OPTION_3}, 0) {}

BOOL OptionsPageOstrelClassic::OnInitDialog() {
  ClassicOptionsPage::OnInitDialog();
  AddLocalizedControl(IDC_OPTIONS_TITLE, "OPTIONS_TITLE");
  AddLocalizedControl(IDC_OPTION_1, "OPTIONS_CHECK_1");
  AddLocalizedControl(IDC_OPTION_2, "OPTIONS_CHECK_2");
  AddLocalizedControl(IDC_OPTION_3, "OPTIONS_CHECK_3");
  AddLocalizedControl(IDC_NEXT, "BUTTON_NEXT");
  UpdateTexts();
  MakeTitleFont(m_title, m_titleFont);
  return TRUE;
}

ConfigurationsPageOstrelClassic::ConfigurationsPageOstrelClassic(std::shared_ptr<LanguageManager> languageManager)
    : ClassicOptionsPage(std::move(languageManager), IDD_CONFIGURATIONS_PAGE_CLASSIC, IDC_CONFIGURATIONS_TITLE,
                         {IDC_OPTION_4, IDC_OPTION_5, IDC_OPTION_6, IDC_OPTION_7, IDC_OPTION_8}, 3) {}

BOOL ConfigurationsPageOstrelClassic::OnInitDialog() {
  ClassicOptionsPage::OnInitDialog();
  AddLocalizedControl(IDC_CONFIGURATIONS_TITLE, "CONFIGURATIONS_TITLE");
  AddLocalizedControl(IDC_CONFIGURATIONS_SUBTITLE_1, "CONFIGURATIONS_SUBTITLE_1");
  AddLocalizedControl(IDC_CONFIGURATIONS_TEXT_1, "CONFIGURATIONS_TEXT_1");
  AddLocalizedControl(IDC_OPTION_4_LABEL, "CONFIGURATIONS_CHECK_1");
  AddLocalizedControl(IDC_OPTION_5, "CONFIGURATIONS_CHECK_2");
  AddLocalizedControl(IDC_CONFIGURATIONS_SUBTITLE_2, "CONFIGURATIONS_SUBTITLE_2");
  AddLocalizedControl(IDC_CONFIGURATIONS_TEXT_2, "CONFIGURATIONS_TEXT_2");
  AddLocalizedControl(IDC_OPTION_6, "CONFIGURATIONS_CHECK_3");
  AddLocalizedControl(IDC_OPTION_7, "CONFIGURATIONS_CHECK_4");
  AddLocalizedControl(IDC_OPTION_8, "CONFIGURATIONS_CHECK_5");
  AddLocalizedControl(IDC_NEXT, "BUTTON_NEXT");
  AddLocalizedControl(IDC_BACK, "BUTTON_BACK");
  UpdateTexts();
  MakeTitleFont(m_title, m_titleFont);
  return TRUE;
}

}  // namespace zelvane::win32
