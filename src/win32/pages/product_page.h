#pragma once
// One partner offer: its picture, the disclaimer linking the offer's privacy policy and license, and
// Accept, Decline and Skip All. The page records what was shown and chosen in the configuration
// record and reports declines as analytics events.

#include <memory>

#include "offers/package.h"
#include "wizard/page.h"
#include "wizard/static_from_image.h"

namespace zelvane::win32 {

class ProductPage : public IPage {
 public:
  ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> offer);

  // Writes the partner registry mark (partner mode only) and lists the offer in `shownPackages`,
  // each time the page is shown.
  void OnNavigateToPage() override;
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }
  std::wstring GetName() const override { return L"ProductPage"; }
  // The texts, then the disclaimer's placeholders filled with the offer's values again.
  void UpdateTexts() override;

  const std::shared_ptr<Package>& package() const { return m_package; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
  Control m_link;
  std::shared_ptr<Package> m_package;
  CStaticFromImage m_image;
  UniqueBrush m_backgroundBrush;
  Control m_skipAllButton;
};

// The disclaimer with "[PACKAGE_NAME]", "[PACKAGE_PRIVACY_URL]" and "[PACKAGE_EULA_URL]" replaced, in
// that order and each over the whole text, by the offer's name, privacy URL and license URL (narrow
// texts in the thread's ANSI code page).
std::wstring FillOfferDisclaimer(const std::wstring& text, const Package& offer, TextCodec& codec);

}  // namespace zelvane::win32
