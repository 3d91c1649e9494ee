#pragma once
// The offer image of a package: fetched into memory by the download manager and decoded with GDI+.
// It lives here rather than in Package, which knows nothing of Windows.

#include <functional>

namespace zelvane {

class Package;

namespace win32 {

class DownloadManager;

// Starts the download of the package's image (the configuration's file base URL followed by its
// image name) and returns at once. On the manager's thread, whatever arrived is decoded into a new
// bitmap stored in `package.image` (kept even when GDI+ cannot read it; nothing arrived: the image
// stays as it was), then `done` runs, on failure too. The main product has no image: `done` runs at
// once. GDI+ must be started while a download runs.
void DownloadImage(Package& package, const std::function<void()>& done, DownloadManager& manager);
// The same through the manager of the process.
void DownloadImage(Package& package, const std::function<void()>& done);

}  // namespace win32
}  // namespace zelvane
