#include "pages/loading_page.h"

#include <commctrl.h>

#include <system_error>

#include "app/configuration_manager.h"
#include "download/download_manager.h"
#include "download/package_image.h"
#include "resource.h"

namespace zelvane::win32 {

namespace {

constexpr UINT kMarqueeIntervalMs = 30;

}  // namespace

LoadingPage::LoadingPage(std::shared_ptr<LanguageManager> languageManager)
    : IPage(std::move(languageManager), IDD_LOADING_PAGE), m_pending(std::make_shared<Pending>()) {}

LoadingPage::~LoadingPage() {
  // A job still waiting for the endpoint must not hold the wizard's shut-down: its future is left to
  // the end of the process instead of being waited for here. The job touches no page.
  if (m_result.valid() && m_result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    new std::future<LoadingOutcome>(std::move(m_result));  // never deleted, never waited for
  }
}

void LoadingPage::SetLoadedHandler(LoadedHandler handler) {
  std::lock_guard<std::mutex> lock(m_pending->m_mutex);
  m_pending->m_onLoaded = std::move(handler);
}

BOOL LoadingPage::OnInitDialog() {
  IPage::OnInitDialog();
  m_progress.Attach(hwnd(), IDC_LOADING_PROGRESS);
  return TRUE;
}

void LoadingPage::OnNavigateToPage() {
  HWND progress = m_progress.hwnd();
  ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);
  ::SendMessageW(progress, PBM_SETPOS, 0, 0);
  ::SetWindowLongPtrW(progress, GWL_STYLE, ::GetWindowLongPtrW(progress, GWL_STYLE) | PBS_MARQUEE);
  ::SendMessageW(progress, PBM_SETMARQUEE, TRUE, kMarqueeIntervalMs);

  HWND page = hwnd();
  auto config = ConfigurationManager::Instance();
  m_result = std::async(std::launch::async, [page, config] {
    try {
      LoadingOutcome outcome = LoadOffers(config);
      ::PostMessageW(page, kRequestCompleteMessage, 0, 0);
      return outcome;
    } catch (const std::exception&) {
      ::PostMessageW(page, kRequestCompleteMessage, 0, 0);
      throw;
    }
  });
}

bool LoadingPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != kRequestCompleteMessage) return IPage::OnMessage(message, wParam, lParam, result);
  *result = OnRequestComplete(wParam, lParam);
  return true;
}

void LoadingPage::Pending::Done() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (--m_pendingImages == 0 && m_onLoaded) m_onLoaded(offers);
}

LRESULT LoadingPage::OnRequestComplete(WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (!m_result.valid()) return 0;  // one run per page
  const auto config = ConfigurationManager::Instance();
  OfferList offers;
  try {
    LoadingOutcome outcome = m_result.get();
    m_configError = outcome.configError;
    offers = std::move(outcome.offers);
  } catch (const std::exception&) {
    if (config->wizardType == kWizardDlm) {
      ShowConfigurationError();
      return 0;
    }
  }
  if (m_configError) {
    ShowConfigurationError();
    return 0;
  }

  const std::shared_ptr<Pending> pending = m_pending;
  {
    std::lock_guard<std::mutex> lock(pending->m_mutex);
    pending->offers = offers;
    pending->m_pendingImages = static_cast<int>(offers.size());
  }
  auto downloads = DownloadManager::Instance();
  if (config->wizardType == kWizardDlm && !config->logoUrl.empty()) {
    {
      std::lock_guard<std::mutex> lock(pending->m_mutex);
      pending->m_pendingImages += 1;
    }
    try {
      downloads->DownloadToMemoryAsync(config->logoUrl, [pending, config](DownloadManager::Bytes bytes) {
        if (bytes && !bytes->empty()) config->logoImage = DecodeImage(*bytes);
        pending->Done();
      });
    } catch (const std::system_error&) {
      pending->Done();  // no thread for the logo: go on without it
    }
  }
  {
    std::lock_guard<std::mutex> lock(pending->m_mutex);
    if (pending->m_pendingImages == 0) {
      if (pending->m_onLoaded) pending->m_onLoaded(pending->offers);
      return 0;
    }
  }
  for (const auto& offer : offers) {
    try {
      DownloadImage(offer, *downloads, [pending] { pending->Done(); });
    } catch (const std::system_error&) {
      pending->Done();  // no thread for this picture: the offer is shown without it
    }
  }
  return 0;
}

void LoadingPage::ShowConfigurationError() {
  if (!m_errorHandler) return;
  switch (ConfigurationManager::Instance()->wizardType) {
    case kWizardDlm:
      m_errorHandler(m_languageManager->GetText("PAGE_CONFIGURATION_ERROR_TITLE"),
                     m_languageManager->GetText("PAGE_CONFIGURATION_ERROR_DESC"));
      break;
    case kWizardIsv:
      m_errorHandler(m_languageManager->GetText("PAGE_ERROR_TITLE"), L"");
      break;
    default:
      m_errorHandler(L"", L"");
      break;
  }
}

}  // namespace zelvane::win32
