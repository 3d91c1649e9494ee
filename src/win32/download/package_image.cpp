#include "download/package_image.h"

#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include "app/configuration_manager.h"
#include "download/download_manager.h"
#include "ports/text_codec.h"

namespace zelvane::win32 {

namespace {

// Decodes with the image type GDI+ gives for the stream (`T` is Image or Bitmap).
template <typename T>
std::shared_ptr<T> Decode(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return nullptr;
  IStream* stream = ::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
  if (stream == nullptr) return nullptr;
  auto image = std::make_shared<T>(stream);
  stream->Release();
  return image;
}

}  // namespace

std::shared_ptr<Gdiplus::Image> DecodeImage(const std::vector<std::uint8_t>& bytes) {
  return Decode<Gdiplus::Image>(bytes);
}

void DownloadImage(const std::shared_ptr<Package>& package, DownloadManager& downloads,
                   const std::function<void()>& done) {
  if (package->isMainProduct) {
    if (done) done();
    return;
  }
  const auto config = ConfigurationManager::Instance();
  const std::wstring url =
      config->fileBaseUrl + config->GetPlatform().text.ToWide(package->imageName, CodePage::ThreadAnsi);
  downloads.DownloadToMemoryAsync(url, [package, done](DownloadManager::Bytes bytes) {
    if (bytes && !bytes->empty()) package->image = Decode<Gdiplus::Bitmap>(*bytes);
    if (done) done();
  });
}

}  // namespace zelvane::win32
