#include "download/download_manager.h"

#include <mutex>
#include <thread>

#include "app/configuration_manager.h"
#include "ports/platform.h"
#include "download/transfer.h"

namespace zelvane::win32 {

namespace {

constexpr std::uint32_t kFallbackPauseMs = 2000;

}  // namespace

DownloadManager::DownloadManager(std::shared_ptr<ConfigurationManager> config, Machine& machine, UserInterface& ui)
    : config_(std::move(config)), machine_(machine), ui_(ui) {}

std::shared_ptr<DownloadManager> DownloadManager::Instance() {
  static std::once_flag once;
  static std::shared_ptr<DownloadManager> instance;
  std::call_once(once, [] {
    Platform& platform = SystemPlatform();
    instance = std::make_shared<DownloadManager>(ConfigurationManager::Instance(), platform.machine, platform.ui);
  });
  return instance;
}

DownloadResult DownloadManager::DownloadFile(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                                             bool toWorkFolder) {
  const TargetPath target = MakeTargetPath(*config_, machine_, ui_, url, fileName, toWorkFolder);
  if (target.invalidName) return DownloadResult{false, kInvalidFileNameText};

  const transfer::FileJob job{url, target.path, notifyWindow, cancelled};
  DownloadResult result = transfer::WinHttpFile(job);
  if (result.success) {
    lastDownloadedPath = target.path;
    return result;
  }
  machine_.Sleep(kFallbackPauseMs);
  const DownloadResult fallback = transfer::WinInetFile(job);
  if (fallback.success) {
    lastDownloadedPath = target.path;
    return fallback;
  }
  result.message = CombineTransportErrors(result.message, fallback.message);
  if (!target.path.empty()) ::DeleteFileW(target.path.c_str());
  return result;
}

DownloadResult DownloadManager::DownloadFileWinInet(const std::wstring& url, HWND notifyWindow,
                                                    const std::wstring& fileName, bool toWorkFolder) {
  const TargetPath target = MakeTargetPath(*config_, machine_, ui_, url, fileName, toWorkFolder);
  if (target.invalidName) return DownloadResult{false, kInvalidFileNameText};
  DownloadResult result = transfer::WinInetFile(transfer::FileJob{url, target.path, notifyWindow, cancelled});
  if (result.success) {
    lastDownloadedPath = target.path;
  } else {
    result.message = L" [WININET] " + result.message;
  }
  return result;
}

DownloadManager::Bytes DownloadManager::DownloadToMemory(const std::wstring& url) {
  return transfer::WinHttpMemory(url, cancelled);
}

void DownloadManager::DownloadToMemoryAsync(const std::wstring& url, Completion completion) {
  std::thread([this, url, completion = std::move(completion)] {
    Bytes bytes = DownloadToMemory(url);
    completion(cancelled ? nullptr : std::move(bytes));
  }).detach();
}

}  // namespace zelvane::win32
