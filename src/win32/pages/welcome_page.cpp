#include "pages/welcome_page.h"

#include "app/configuration_manager.h"
#include "resource.h"

namespace zelvane::win32 {

WelcomePageIsv::WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_WELCOME_PAGE) {}

BOOL WelcomePageIsv::OnInitDialog() {
  IPage::OnInitDialog();
  const auto config = ConfigurationManager::Instance();

  m_logo.Attach(hwnd(), IDC_WELCOME_LOGO);
  if (config->wizardType == kWizardDlm) {
    m_logo.SetImage(config->logoImage);
  } else {
    m_logo.LoadFromResource(IDB_PRODUCT_LOGO, L"IMAGE_BLOB");
  }

  m_privacyLink.Attach(hwnd(), IDC_PRIVACY_LINK);
  m_termsLink.Attach(hwnd(), IDC_TERMS_LINK);
  m_licenseLink.Attach(hwnd(), IDC_LICENSE_LINK);
  AddLocalizedControl(IDC_WELCOME_TITLE, "WELCOME_TITLE");
  AddLocalizedControl(IDC_PRODUCT_TITLE, "PRODUCT_TITLE");
  AddLocalizedControl(IDC_WELCOME_TEXT, "WELCOME_TEXT");
  AddLocalizedControl(IDC_NEXT, "BUTTON_NEXT");
  AddLocalizedControl(IDC_PRIVACY_LINK, "PRIVACY_LINK");
  AddLocalizedControl(IDC_TERMS_LINK, config->wizardType == kWizardDlm ? "TOS_LINK" : "EULA_LINK");
  AddLocalizedControl(IDC_LICENSE_LINK, "SDK_LINK");
  UpdateTexts();

  const std::pair<HyperlinkControl*, const std::wstring*> links[] = {
      {&m_privacyLink, &config->privacyUrl}, {&m_termsLink, &config->termsUrl}, {&m_licenseLink, &config->licenseUrl}};
  for (const auto& [link, url] : links) {
    link->SetUrl(*url);
    if (url->empty()) link->Show(false);
  }
  return TRUE;
}

void WelcomePageIsv::UpdateTexts() {
  IPage::UpdateTexts();
  m_privacyLink.SizeToContent();
  m_termsLink.SizeToContent();
  m_licenseLink.SizeToContent();
}

bool WelcomePageIsv::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (id == IDC_NEXT && code == BN_CLICKED) {
    if (m_buttonHandler) m_buttonHandler(ButtonType::Next);
    return true;
  }
  return false;
}

}  // namespace zelvane::win32
