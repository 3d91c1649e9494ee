#include "pages/download_sequence.h"

#include "app/configuration_manager.h"
#include "pages/is_url.h"

namespace zelvane {

DownloadSequence::DownloadSequence(ConfigurationManager& config, DownloadPageActions& actions,
                                   std::wstring mainInstallerArguments)
    : config_(config), actions_(actions), mainInstallerArguments_(std::move(mainInstallerArguments)) {}

bool DownloadSequence::IsDlm() const { return config_.wizardType == kWizardDlm; }

void DownloadSequence::Start(std::vector<SequencePackage> packages) {
  packages_ = std::move(packages);
  for (std::size_t i = 0; i < packages_.size(); ++i) downloadQueue_.push_back(i);
  if (!downloadQueue_.empty()) StartNextDownload();
}

void DownloadSequence::StartNextDownload() {
  if (config_.closing) return;
  const SequencePackage& package = packages_[downloadQueue_.front()];
  TextCodec& codec = config_.GetPlatform().text;
  const auto withBase = [&](const std::wstring& url) { return IsUrl(url, codec) ? url : config_.fileBaseUrl + url; };
  if (package.isMainProduct && IsDlm()) {
    actions_.StartDownload(config_.primaryDownloadUrl, config_.primaryFileName, false);
  } else if (package.isMainProduct) {
    actions_.StartDownload(withBase(config_.primaryDownloadUrl), L"", true);
  } else {
    actions_.StartDownload(withBase(package.downloadUrl), L"", true);
  }
}

int DownloadSequence::FailureCode(std::size_t package) const {
  return packages_[package].isMainProduct && config_.reportPrimaryFailure ? 3 : -1;
}

nlohmann::json DownloadSequence::FailureParams(const std::wstring& text) const {
  return nlohmann::json{{"12", config_.GetPlatform().text.ToNarrow(text, CodePage::ThreadAnsi)}};
}

const std::wstring& DownloadSequence::ArgumentsOf(std::size_t package) const {
  return packages_[package].isMainProduct ? mainInstallerArguments_ : packages_[package].installArguments;
}

void DownloadSequence::OnDownloadFinished(bool success, const std::wstring& message,
                                          const std::wstring& lastDownloadedPath) {
  if (downloadQueue_.empty()) return;
  const std::size_t package = downloadQueue_.front();
  downloadQueue_.pop_front();
  const bool main = packages_[package].isMainProduct;

  if (!success) {
    actions_.SendEvent(package, FailureCode(package), FailureParams(L"DOWNLOAD FAILED: " + message));
    if (main) mainProductFailed_ = true;
  } else if (IsDlm()) {
    // The DLM main product stays where it was downloaded; the finish page opens it.
    if (main) {
      config_.SetDownloadedFilePath(lastDownloadedPath);
      actions_.SendEvent(package, 3, nullptr);
    } else {
      installQueue_.emplace_back(package, lastDownloadedPath);
    }
  } else {
    if (main) config_.SetDownloadedFilePath(lastDownloadedPath);
    installQueue_.emplace_back(package, lastDownloadedPath);
  }

  if (!downloadQueue_.empty()) {
    StartNextDownload();
  } else if (IsDlm()) {
    if (installQueue_.empty()) {
      End();
    } else {
      RunNextInstallerDlm();
    }
  } else {
    actions_.InstallStarted();
    OnSizeUnknown();
    RunNextInstallerIsv();
  }
}

void DownloadSequence::RunNextInstallerDlm() {
  // Offers are launched back to back without waiting; each counts as installed once started.
  while (!installQueue_.empty()) {
    const auto [package, downloaded] = installQueue_.front();
    const std::wstring path = actions_.PrepareInstaller(downloaded, config_.workFolder);
    actions_.Launch(path, ArgumentsOf(package), packages_[package].isMainProduct);
    actions_.SendEvent(package, 3, nullptr);
    installQueue_.pop_front();
  }
  End();
}

void DownloadSequence::RunNextInstallerIsv() {
  while (true) {
    if (installQueue_.empty()) {
      // Only when the main product's download failed and no offer file arrived; the other case
      // cannot arise, and ends as every run does.
      End();
      return;
    }
    const auto [package, downloaded] = installQueue_.front();
    const std::wstring path = actions_.PrepareInstaller(downloaded, config_.downloadFolder);
    const bool main = packages_[package].isMainProduct;
    actions_.Launch(path, ArgumentsOf(package), main);
    if (main) {
      // Its queue entry stays until the installer has exited.
      mainInstallerPath_ = path;
      return;
    }
    actions_.SendEvent(package, 3, nullptr);
    installQueue_.pop_front();
    if (installQueue_.empty()) {
      actions_.InstallFinished();
      End();
      return;
    }
  }
}

void DownloadSequence::OnMainInstallerExited(std::uint32_t exitCode, const std::wstring& message) {
  if (installQueue_.empty()) return;
  const std::size_t package = installQueue_.front().first;
  actions_.InstallFinished();
  if (exitCode != 0) {
    actions_.SendEvent(package, FailureCode(package), FailureParams(L"EXEC FAILED: " + message));
    mainProductFailed_ = true;
  } else {
    config_.SetDownloadedFilePath(mainInstallerPath_);
    actions_.SendEvent(package, 3, nullptr);
  }
  installQueue_.pop_front();
  if (installQueue_.empty()) {
    End();
  } else {
    RunNextInstallerIsv();
  }
}

void DownloadSequence::End() {
  if (mainProductFailed_) {
    if (IsDlm()) {
      actions_.ShowError("PAGE_DOWNLOAD_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC");
    } else {
      actions_.ShowError("PAGE_ERROR_TITLE", "PAGE_ERROR_TEXT");
    }
    return;
  }
  actions_.GoNext();
}

void DownloadSequence::OnSizeUnknown() {
  actions_.MarqueeOn();
  marqueeMode_ = true;
}

void DownloadSequence::OnProgress(std::uint64_t percent) {
  if (percent > 100) {
    OnSizeUnknown();
    return;
  }
  if (marqueeMode_) {
    actions_.MarqueeOff();
    marqueeMode_ = false;
  }
  // The position is the percent itself; dividing by 100 and multiplying back in floating point would
  // show 28 for 29.
  actions_.SetProgressPosition(static_cast<int>(percent));
}

}  // namespace zelvane
