#pragma once
// The page that does the installing work: downloads the main product and every accepted offer one
// after another, shows the progress, launches the installers and reports each package's events, then
// hands over to the finish page (Next) or the error page. The order of the work and what each result
// leads to are DownloadSequence's; the page owns the futures, timers and the progress bar.
//
// The controller creates one for its wizard type with the other pages after loading, sets the button
// and error handlers and, for ISV, `onInstallStarted`/`onInstallFinished`; OnNavigateToPage starts
// the work.

#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "download/download_rules.h"
#include "download/installer.h"
#include "pages/download_sequence.h"
#include "wizard/page.h"
#include "wizard/static_from_image.h"

namespace zelvane {
class Package;
}

namespace zelvane::win32 {

class DownloadManager;

class DownloadPage : public IPage, private DownloadPageActions {
 public:
  static constexpr UINT_PTR kDownloadTimer = 4096;  // polls the download in flight
  static constexpr UINT_PTR kInstallTimer = 4098;   // polls the ISV main installer
  static constexpr UINT kPollMs = 100;

  ~DownloadPage() override;

  // Queues the main product and the accepted offers (in the order of acceptance) and starts the
  // first download. The main installer's arguments are taken now, after the classic option pages.
  void OnNavigateToPage() override;
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }

  bool marqueeMode() const { return m_sequence != nullptr && m_sequence->marqueeMode(); }
  bool mainProductFailed() const { return m_sequence != nullptr && m_sequence->mainProductFailed(); }

 protected:
  DownloadPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId);

  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  CStaticFromImage m_image;
  std::unique_ptr<DownloadSequence> m_sequence;

 private:
  void OnDownloadTimer();
  void OnInstallTimer();

  // DownloadPageActions
  void StartDownload(const std::wstring& url, const std::wstring& fileName, bool toWorkFolder) override;
  std::wstring PrepareInstaller(const std::wstring& path, const std::wstring& baseFolder) override;
  void Launch(const std::wstring& path, const std::wstring& arguments, bool wait) override;
  void SendEvent(std::size_t package, int code, const nlohmann::json& params) override;
  void MarqueeOn() override;
  void MarqueeOff() override;
  void SetProgressPosition(int percent) override;
  void ShowError(const std::string& titleKey, const std::string& textKey) override;
  void GoNext() override;

  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
  Control m_progress;
  std::shared_ptr<DownloadManager> m_downloadManager;
  std::vector<std::shared_ptr<Package>> m_packages;  // in the sequence's order: main product first
  std::future<DownloadResult> m_downloadFuture;
  std::future<LaunchResult> m_installFuture;
};

// DPageISV: the product logo from the resources; launches the main installer and waits for it.
class DownloadPageIsv : public DownloadPage {
 public:
  explicit DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager);
  std::wstring GetName() const override { return L"DPageISV"; }

  // The main product's installer as it was launched ("" before).
  std::wstring mainInstallerPath() const;

  // Set by the controller: the installers have started (after the last download) / are done (the
  // main installer exited, or the last offer was launched). Either may be left empty.
  std::function<void()> onInstallStarted;
  std::function<void()> onInstallFinished;

 protected:
  BOOL OnInitDialog() override;

 private:
  void InstallStarted() override;
  void InstallFinished() override;
};

// DPageDLM: the logo fetched while loading; the main product is only downloaded (the finish page
// opens it), the offers are launched.
class DownloadPageDlm : public DownloadPage {
 public:
  explicit DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager);
  std::wstring GetName() const override { return L"DPageDLM"; }

 protected:
  BOOL OnInitDialog() override;

 private:
  void InstallStarted() override {}
  void InstallFinished() override {}
};

}  // namespace zelvane::win32
