#pragma once
// The decisions of the download pages (DPageISV and DPageDLM), free of windows: which packages are
// downloaded in which order and from where, what each download result and installer exit leads to,
// which analytics events go out, how the progress bar moves, and how the page ends. The page owns the
// futures, timers and controls; it forwards its messages here and carries out the actions asked of it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace zelvane {

class ConfigurationManager;

// What the sequence needs of one package. The page builds them from the record's `primaryPackage`
// and `acceptedPackages`, in that order, and keeps its own list of the packages beside them: the
// sequence names a package by its index in that list.
struct SequencePackage {
  bool isMainProduct = false;
  std::wstring downloadUrl;       // an offer's URL (not read for the main product, which takes the record's)
  std::wstring installArguments;  // an offer's installer arguments, passed unchanged
};

// What the page does when the sequence asks. Handlers the controller did not set are the page's
// concern: asking for the error page or Next without one does nothing.
class DownloadPageActions {
 public:
  virtual ~DownloadPageActions() = default;

  // Runs DownloadFile (url, the page window, fileName, toWorkFolder) on a pool task and sets timer
  // 4096 to poll it; the result comes back through DownloadSequence::OnDownloadFinished.
  virtual void StartDownload(const std::wstring& url, const std::wstring& fileName, bool toWorkFolder) = 0;
  // The file to start for a downloaded one: an archive (DetectArchiveType not 0) goes through
  // PrepareInstaller with `baseFolder`; anything else is returned as it is.
  virtual std::wstring PrepareInstaller(const std::wstring& path, const std::wstring& baseFolder) = 0;
  // LaunchProcessAsync (path, arguments, wait) into the page's install future. When `wait` is set the
  // page also sets timer 4098; the exit comes back through DownloadSequence::OnMainInstallerExited.
  virtual void Launch(const std::wstring& path, const std::wstring& arguments, bool wait) = 0;
  // Package::SendEvent (code, params) for the package at `package`; params is null or {"12": text}.
  virtual void SendEvent(std::size_t package, int code, const nlohmann::json& params) = 0;
  // The controller's installation handlers (ISV): installers are running / have been started.
  virtual void InstallStarted() = 0;
  virtual void InstallFinished() = 0;
  // Progress bar: range 0..100, position 0, marquee on with a 30 ms step, PBS_MARQUEE added.
  virtual void MarqueeOn() = 0;
  // Progress bar: marquee off, range 0..100, position 0, step 1, PBS_MARQUEE removed.
  virtual void MarqueeOff() = 0;
  virtual void SetProgressPosition(int percent) = 0;
  // The error handler with the language texts of the two keys.
  virtual void ShowError(const std::string& titleKey, const std::string& textKey) = 0;
  // The button handler with Next: on to the finish page.
  virtual void GoNext() = 0;
};

class DownloadSequence {
 public:
  // `mainInstallerArguments` are the arguments the main product's installer is started with
  // (MainInstallerArguments of the record; only ISV starts it: "/S /FORCEINSTALL " and the option
  // code in the classic flow, the record's installer arguments otherwise). The record is read as each
  // step runs: its `closing` flag stops further downloads.
  DownloadSequence(ConfigurationManager& config, DownloadPageActions& actions, std::wstring mainInstallerArguments);

  // OnNavigateToPage: queues the packages (the main product first) and starts the first download.
  void Start(std::vector<SequencePackage> packages);
  // The download in flight ended: `lastDownloadedPath` is DownloadManager::lastDownloadedPath, read
  // only on success.
  void OnDownloadFinished(bool success, const std::wstring& message, const std::wstring& lastDownloadedPath);
  // The ISV main product's installer exited (or failed to start) with this exit code and message.
  void OnMainInstallerExited(std::uint32_t exitCode, const std::wstring& message);
  // WM_DOWNLOAD_PROGRESS with its wParam, and WM_DOWNLOAD_SIZE_UNKNOWN.
  void OnProgress(std::uint64_t percent);
  void OnSizeUnknown();

  bool mainProductFailed() const { return mainProductFailed_; }
  bool marqueeMode() const { return marqueeMode_; }
  // The ISV main product's installer as it was launched.
  const std::wstring& mainInstallerPath() const { return mainInstallerPath_; }

 private:
  bool IsDlm() const;
  void StartNextDownload();
  void RunNextInstallerDlm();
  void RunNextInstallerIsv();
  void AfterIsvLaunch();
  void End();
  int FailureCode(std::size_t package) const;
  nlohmann::json FailureParams(const std::wstring& text) const;
  const std::wstring& ArgumentsOf(std::size_t package) const;

  ConfigurationManager& config_;
  DownloadPageActions& actions_;
  std::wstring mainInstallerArguments_;
  std::vector<SequencePackage> packages_;
  std::deque<std::size_t> downloadQueue_;
  std::deque<std::pair<std::size_t, std::wstring>> installQueue_;
  std::wstring mainInstallerPath_;
  bool mainProductFailed_ = false;
  bool marqueeMode_ = false;
};

}  // namespace zelvane
