// The download benchmark's subject: one DownloadFile of the URL into the work folder, as the
// download pages run it, with its progress posted to a window of this thread.
//
//   download-file URL

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/configuration_manager.h"
#include "app/folder_tree.h"
#include "app/system_platform.h"
#include "download/download_manager.h"
#include "download_measure.h"

int wmain(int argc, wchar_t** argv) {
  using namespace zelvane;
  if (argc != 2) {
    std::fprintf(stderr, "usage: download-file URL\n");
    return 2;
  }
  Platform& platform = SystemPlatform();
  auto config = std::make_shared<ConfigurationManager>(
      BuildProfile{"ISV", true, false, L"content.zelvane.test", L"download.zelvane.test", L"www.zelvane.test"},
      platform);
  win32::DownloadManager manager(config, platform.machine, platform.ui);
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

  bench::Stopwatch watch;
  const DownloadResult result = manager.DownloadFile(argv[1], window, L"download.bin", true);
  const double seconds = watch.Seconds();

  WIN32_FILE_ATTRIBUTE_DATA data{};
  unsigned long long size = 0;
  if (::GetFileAttributesExW(manager.lastDownloadedPath.c_str(), GetFileExInfoStandard, &data)) {
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  win32::DeleteFolderTree(config->workFolder);
  if (!result.success) {
    std::fprintf(stderr, "download failed: %ls\n", result.message.c_str());
    return 1;
  }
  bench::PrintFigures(size, seconds);
  return 0;
}
