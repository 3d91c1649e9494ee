#include "pages/download_page.h"

#include <commctrl.h>

#include "app/configuration_manager.h"
#include "download/download_manager.h"
#include "download/installer_launch.h"
#include "offers/package.h"
#include "resource.h"

namespace zelvane::win32 {

DownloadPage::DownloadPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId)
    : IPage(std::move(languageManager), templateId) {}

// The futures of std::async wait for their tasks when they go; the download task posts to a window
// that may be gone by then, which the system ignores.
DownloadPage::~DownloadPage() = default;

BOOL DownloadPage::OnInitDialog() {
  IPage::OnInitDialog();
  m_progress.Attach(hwnd(), IDC_PROGRESS_BAR);
  m_image.Attach(hwnd(), IDC_PAGE_IMAGE);
  AddLocalizedControl(IDC_PROGRESS_TITLE, "PROGRESS_TITLE");
  AddLocalizedControl(IDC_PROGRESS_DESC, "PROGRESS_DESC");
  UpdateTexts();
  return TRUE;
}

void DownloadPage::OnNavigateToPage() {
  const auto config = ConfigurationManager::Instance();
  m_downloadManager = DownloadManager::Instance();
  m_packages.clear();
  std::vector<SequencePackage> queue;
  auto add = [&](const std::shared_ptr<Package>& package) {
    if (package == nullptr) return;
    m_packages.push_back(package);
    queue.push_back({package->isMainProduct, package->DownloadUrlW(), package->InstallArgumentsW()});
  };
  add(config->primaryPackage);
  for (const auto& offer : config->acceptedPackages) add(offer);
  DownloadPageActions& actions = *this;
  m_sequence = std::make_unique<DownloadSequence>(*config, actions, MainInstallerArguments(*config));
  m_sequence->Start(std::move(queue));
}

void DownloadPage::StartDownload(const std::wstring& url, const std::wstring& fileName, bool toWorkFolder) {
  m_downloadFuture = std::async(std::launch::async, [manager = m_downloadManager, url, window = hwnd(), fileName,
                                                     toWorkFolder] {
    return manager->DownloadFile(url, window, fileName, toWorkFolder);
  });
  ::SetTimer(hwnd(), kDownloadTimer, kPollMs, nullptr);
}

std::wstring DownloadPage::PrepareInstaller(const std::wstring& path, const std::wstring& baseFolder) {
  const int type = DetectArchiveType(path);
  return type != kNotArchive ? win32::PrepareInstaller(path, type, baseFolder) : path;
}

void DownloadPage::Launch(const std::wstring& path, const std::wstring& arguments, bool wait) {
  // Replacing the future waits for the previous launch task, which has returned by now: offers are
  // not waited for, and the main installer's exit was taken before anything else is launched.
  // A wizard closed while the main installer runs stops waiting for it (the future's end, when the
  // page goes, waits for the task) and leaves it running.
  m_installFuture = LaunchProcessAsync(path, arguments, wait, &m_downloadManager->cancelled);
  if (wait) ::SetTimer(hwnd(), kInstallTimer, kPollMs, nullptr);
}

void DownloadPage::SendEvent(std::size_t package, int code, const nlohmann::json& params) {
  m_packages.at(package)->SendEvent(code, params);
}

void DownloadPage::OnTimer(UINT_PTR id) {
  if (id == kDownloadTimer) {
    OnDownloadTimer();
  } else if (id == kInstallTimer) {
    OnInstallTimer();
  }
}

void DownloadPage::OnDownloadTimer() {
  if (!m_downloadFuture.valid()) throw std::future_error(std::future_errc::no_state);
  if (m_downloadFuture.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  ::KillTimer(hwnd(), kDownloadTimer);
  const DownloadResult result = m_downloadFuture.get();
  m_sequence->OnDownloadFinished(result.success, result.message,
                                 result.success ? m_downloadManager->lastDownloadedPath : std::wstring());
}

void DownloadPage::OnInstallTimer() {
  if (!m_installFuture.valid()) throw std::future_error(std::future_errc::no_state);
  if (m_installFuture.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  ::KillTimer(hwnd(), kInstallTimer);
  const LaunchResult result = m_installFuture.get();
  m_sequence->OnMainInstallerExited(result.exitCode, result.message);
}

bool DownloadPage::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, LRESULT* result) {
  if (m_sequence == nullptr) return false;
  if (message == kWmDownloadProgress) {
    m_sequence->OnProgress(static_cast<std::uint64_t>(wParam));
  } else if (message == kWmDownloadSizeUnknown) {
    m_sequence->OnSizeUnknown();
  } else {
    return false;
  }
  *result = 0;
  return true;
}

void DownloadPage::MarqueeOn() {
  HWND bar = m_progress.hwnd();
  ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  ::SendMessageW(bar, PBM_SETPOS, 0, 0);
  ::SendMessageW(bar, PBM_SETMARQUEE, TRUE, 30);
  ::SetWindowLongW(bar, GWL_STYLE, ::GetWindowLongW(bar, GWL_STYLE) | PBS_MARQUEE);
}

void DownloadPage::MarqueeOff() {
  HWND bar = m_progress.hwnd();
  ::SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
  ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  ::SendMessageW(bar, PBM_SETPOS, 0, 0);
  ::SendMessageW(bar, PBM_SETSTEP, 1, 0);
  ::SetWindowLongW(bar, GWL_STYLE, ::GetWindowLongW(bar, GWL_STYLE) & ~PBS_MARQUEE);
}

void DownloadPage::SetProgressPosition(int percent) { ::SendMessageW(m_progress.hwnd(), PBM_SETPOS, percent, 0); }

void DownloadPage::ShowError(const std::string& titleKey, const std::string& textKey) {
  if (m_errorHandler) m_errorHandler(m_languageManager->GetText(titleKey), m_languageManager->GetText(textKey));
}

void DownloadPage::GoNext() {
  if (m_buttonHandler) m_buttonHandler(ButtonType::Next);
}

DownloadPageIsv::DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager)
    : DownloadPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_ISV) {}

BOOL DownloadPageIsv::OnInitDialog() {
  DownloadPage::OnInitDialog();
  m_image.LoadFromResource(IDB_PRODUCT_LOGO, L"IMAGE_BLOB");
  return TRUE;
}

std::wstring DownloadPageIsv::mainInstallerPath() const {
  return m_sequence != nullptr ? m_sequence->mainInstallerPath() : std::wstring();
}

void DownloadPageIsv::InstallStarted() {
  if (onInstallStarted) onInstallStarted();
}

void DownloadPageIsv::InstallFinished() {
  if (onInstallFinished) onInstallFinished();
}

DownloadPageDlm::DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager)
    : DownloadPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_DLM) {}

BOOL DownloadPageDlm::OnInitDialog() {
  DownloadPage::OnInitDialog();
  m_image.SetImage(ConfigurationManager::Instance()->logoImage);
  return TRUE;
}

}  // namespace zelvane::win32
