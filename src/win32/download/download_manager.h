#pragma once
// The one object every network download of the program runs through: package files over WinHTTP
// with a WinINet fallback, and in-memory fetches of images.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/download_rules.h"
#include "ports/machine.h"
#include "ports/user_interface.h"

namespace zelvane {

class ConfigurationManager;

namespace win32 {

class DownloadManager {
 public:
  using Bytes = std::unique_ptr<std::vector<std::uint8_t>>;
  using Completion = std::function<void(Bytes)>;

  // The machine gives the pause before the fallback and the folder test; the user interface shows
  // "Invalid path".
  DownloadManager(std::shared_ptr<ConfigurationManager> config, Machine& machine, UserInterface& ui);
  DownloadManager(const DownloadManager&) = delete;
  DownloadManager& operator=(const DownloadManager&) = delete;

  // The manager of this process, made on first use over the process's record and platform.
  static std::shared_ptr<DownloadManager> Instance();

  // Downloads the URL into the work folder or the download folder, under `fileName` or the URL's
  // last segment, posting progress to `notifyWindow`. WinHTTP first; after a failure and a pause of
  // two seconds, WinINet once; when both fail the partial file is deleted and the message is
  // "[WINHTTP] <first error> [WININET] <second error>". Blocks until done.
  DownloadResult DownloadFile(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                              bool toWorkFolder);
  // The same over WinINet alone; its message is " [WININET] <error>".
  DownloadResult DownloadFileWinInet(const std::wstring& url, HWND notifyWindow, const std::wstring& fileName,
                                     bool toWorkFolder);
  // The URL's body in memory after at most two attempts; empty when nothing usable arrived.
  Bytes DownloadToMemory(const std::wstring& url);
  // DownloadToMemory on a detached thread of its own; the completion runs there, with nothing when
  // the downloads were cancelled meanwhile. Throws std::system_error when no thread can be made.
  void DownloadToMemoryAsync(const std::wstring& url, Completion completion);

  // Set once, when the user has confirmed quitting; seen by transfers before their next chunk.
  std::atomic<bool> cancelled{false};
  // The target of the last file download that succeeded.
  std::wstring lastDownloadedPath;

 private:
  std::shared_ptr<ConfigurationManager> config_;
  Machine& machine_;
  UserInterface& ui_;
};

}  // namespace win32
}  // namespace zelvane
