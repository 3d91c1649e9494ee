#include "pages/product_page.h"

#include <commctrl.h>
#include <gdiplus.h>

#include "app/configuration_manager.h"
#include "pages/license_page.h"
#include "resource.h"
#include "telemetry/tracking_macros.h"
#include "ui/controls.h"

namespace zelvane::win32 {

namespace {

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

std::wstring FillOfferDisclaimer(const std::wstring& text, const Package& offer, TextCodec& codec) {
  std::wstring filled = ReplaceAll(text, L"[PACKAGE_NAME]", codec.ToWide(offer.displayName, CodePage::ThreadAnsi));
  filled = ReplaceAll(std::move(filled), L"[PACKAGE_PRIVACY_URL]", codec.ToWide(offer.privacyUrl, CodePage::ThreadAnsi));
  return ReplaceAll(std::move(filled), L"[PACKAGE_EULA_URL]", codec.ToWide(offer.licenseUrl, CodePage::ThreadAnsi));
}

ProductPage::ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> offer)
    : IPage(std::move(languageManager), IDD_PRODUCT_PAGE), m_package(std::move(offer)) {}

BOOL ProductPage::OnInitDialog() {
  IPage::OnInitDialog();
  const auto config = ConfigurationManager::Instance();
  m_backgroundBrush.reset(::CreateSolidBrush(config->backgroundColour));
  m_link.Attach(hwnd(), IDC_PRODUCT_DISCLAIMER);
  m_skipAllButton.Attach(hwnd(), IDC_SKIP_ALL);
  m_image.Attach(hwnd(), IDC_OFFER_IMAGE);

  // No Skip All on the last offer, nor on the one where the partner's offer limit ends the offers.
  const int position = m_package->position;
  if (position == config->offerCount - 1 || position == m_package->partnerSettings.mo - 1) {
    m_skipAllButton.Show(false);
  }
  m_image.SetImage(m_package->image);

  AddLocalizedControl(IDC_ACCEPT, "BUTTON_ACCEPT");
  AddLocalizedControl(IDC_DECLINE, "BUTTON_DECLINE");
  AddLocalizedControl(IDC_SKIP_ALL, "BUTTON_SKIP_ALL");
  AddLocalizedControl(IDC_PRODUCT_DISCLAIMER, "PRODUCT_DISCLAIMER");
  UpdateTexts();
  return TRUE;
}

void ProductPage::UpdateTexts() {
  IPage::UpdateTexts();
  if (m_link.hwnd() == nullptr) return;
  const auto config = ConfigurationManager::Instance();
  m_link.SetText(FillOfferDisclaimer(WindowText(m_link.hwnd()), *m_package, config->GetPlatform().text));
}

void ProductPage::OnNavigateToPage() {
  const auto config = ConfigurationManager::Instance();
  if (m_package->partnerSettings.enabled) (void)WriteNoShowMark(m_package->partnerSettings, *config);
  config->shownPackages.push_back(m_package);
}

bool ProductPage::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (code != BN_CLICKED) return false;
  const auto config = ConfigurationManager::Instance();
  ButtonType button;
  switch (id) {
    case IDC_ACCEPT:
      config->acceptedPackages.push_back(m_package);
      button = ButtonType::Accept;
      break;
    case IDC_DECLINE:
    case IDC_SKIP_ALL:
      config->offerDeclined = true;
      m_package->SendEvent(4, nullptr);
      button = id == IDC_DECLINE ? ButtonType::Decline : ButtonType::SkipAll;
      break;
    default:
      return false;
  }
  if (m_buttonHandler) m_buttonHandler(button);
  return true;
}

bool ProductPage::OnNotify(NMHDR* header, LRESULT* result) {
  return OpenClickedLink(header, IDC_PRODUCT_DISCLAIMER, result);
}

HBRUSH ProductPage::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control != nullptr && control == m_link.hwnd()) {
    ::SetBkMode(dc, TRANSPARENT);
    return m_backgroundBrush.get();
  }
  return IPage::OnCtlColor(dc, control, message);
}

}  // namespace zelvane::win32
