#pragma once
// The offer picture of a package: fetched into memory by the download manager and decoded by GDI+.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "offers/package.h"

namespace Gdiplus {
class Image;
}

namespace zelvane::win32 {

class DownloadManager;

// The bytes of a picture decoded by GDI+ from a memory stream; null without bytes. The decoding
// status is not examined: the caller stores whatever GDI+ made.
std::shared_ptr<Gdiplus::Image> DecodeImage(const std::vector<std::uint8_t>& bytes);

// Fetches fileBaseUrl + imageName into the package's `image` on a download thread, then calls `done`
// there (a failed download leaves the image as it was). The main product fetches nothing: `done` runs
// at once.
void DownloadImage(const std::shared_ptr<Package>& package, DownloadManager& downloads,
                   const std::function<void()>& done);

}  // namespace zelvane::win32
