#include "offers/package_image.h"

#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <memory>

#include "app/configuration_manager.h"
#include "download/download_manager.h"
#include "offers/package.h"

namespace zelvane::win32 {

namespace {

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// The bitmap over the bytes, whatever GDI+ made of them.
std::shared_ptr<Gdiplus::Bitmap> Decode(const std::vector<std::uint8_t>& bytes) {
  IStream* stream = ::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
  if (stream == nullptr) return nullptr;
  auto bitmap = std::make_shared<Gdiplus::Bitmap>(stream);
  stream->Release();
  return bitmap;
}

}  // namespace

void DownloadImage(Package& package, const std::function<void()>& done, DownloadManager& manager) {
  if (package.isMainProduct) {
    if (done) done();
    return;
  }
  const std::wstring url = package.configuration().fileBaseUrl + AnsiToWide(package.imageName);
  // The completion owns the package when something else does, so a page that lets go of it early
  // cannot leave the download writing into a freed package.
  std::shared_ptr<Package> owner = package.weak_from_this().lock();
  Package* target = &package;
  manager.DownloadToMemoryAsync(url, [owner, target, done](DownloadManager::Bytes bytes) {
    if (bytes && !bytes->empty()) {
      if (auto bitmap = Decode(*bytes)) target->image = std::move(bitmap);
    }
    if (done) done();
  });
}

void DownloadImage(Package& package, const std::function<void()>& done) {
  DownloadImage(package, done, *DownloadManager::Instance());
}

}  // namespace zelvane::win32
