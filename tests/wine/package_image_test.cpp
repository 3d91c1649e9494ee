// The offer image for real: the download manager fetches it from the local content service and
// GDI+ decodes it. Each case serves its image under a path of this process below the file base URL.

#include "download/package_image.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <future>
#include <memory>

#include "app/configuration_manager.h"
#include "app/system_platform.h"
#include "download/download_manager.h"
#include "offers/package.h"
#include "content_service.h"

namespace zelvane {
namespace {

using json = nlohmann::json;

class PackageImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
  }
  static void TearDownTestSuite() {
    if (token_ != 0) Gdiplus::GdiplusShutdown(token_);
  }

  std::shared_ptr<Package> Offer(const std::string& imageName) {
    const json offer{{"ad", {{"o", "img-" + std::to_string(::GetCurrentProcessId())}, {"f", "feed"}}},
                     {"ps", {{"i", imageName}, {"dn", "Offer"}, {"u", "https://cdn.partner-a.test/a.exe"}}}};
    return std::make_shared<Package>(RequestBase(*config_), offer, false, "", 0, config_);
  }

  // Runs DownloadImage and waits for its completion; the number of times `done` ran.
  int DownloadAndWait(const std::shared_ptr<Package>& package) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> first = finished->get_future();
    win32::DownloadImage(package, manager_, [calls, finished] {
      if (++*calls == 1) finished->set_value();
    });
    EXPECT_EQ(first.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    return calls->load();
  }

  static ULONG_PTR token_;
  std::shared_ptr<ConfigurationManager> config_ = std::make_shared<ConfigurationManager>(
      BuildProfile{"ISV", true, false, L"content.zelvane.test", L"download.zelvane.test", L"www.zelvane.test"},
      SystemPlatform());
  win32::SystemMachine machine_;
  win32::SystemUserInterface ui_;
  win32::DownloadManager manager_{config_, machine_, ui_};
};

ULONG_PTR PackageImage::token_ = 0;

TEST_F(PackageImage, StoresWhatArrivedAndAlwaysCompletesOnce) {
  struct Case {
    const char* name;
    json answer;          // nullptr: no route, so the service answers 404
    bool stored;          // a new bitmap replaced the previous one
    Gdiplus::Status status;
    UINT width, height;
  };
  const Case cases[] = {
      {"offer.png", {{"image", {{"width", 300}, {"height", 140}, {"colour", "#c03030"}}}}, true, Gdiplus::Ok, 300, 140},
      {"missing.png", nullptr, false, Gdiplus::Ok, 1, 1},
      {"text.png", {{"body", "this is not an image"}, {"content_type", "image/png"}}, true, Gdiplus::InvalidParameter, 0, 0},
      {"empty.png", {{"body", ""}}, false, Gdiplus::Ok, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The image name is relative: it is appended to the file base URL.
    const std::string name = test::UniquePath(c.name).substr(1);
    if (!c.answer.is_null()) test::ContentService::AddRoutes({{"/f/" + name, c.answer}});
    const std::int64_t mark = test::ContentService::Mark();

    auto package = Offer(name);
    auto previous = std::make_shared<Gdiplus::Bitmap>(1, 1, PixelFormat32bppARGB);
    package->image = previous;
    EXPECT_EQ(DownloadAndWait(package), 1);

    const auto requests = test::ContentService::Log(mark, "/f/" + name);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front()["host"], "content.zelvane.test");
    ASSERT_TRUE(package->image);
    EXPECT_EQ(package->image != previous, c.stored);
    if (c.stored && c.status == Gdiplus::Ok) {
      EXPECT_EQ(package->image->GetLastStatus(), Gdiplus::Ok);
      EXPECT_EQ(package->image->GetWidth(), c.width);
      EXPECT_EQ(package->image->GetHeight(), c.height);
    } else if (c.stored) {
      EXPECT_NE(package->image->GetLastStatus(), Gdiplus::Ok);
    }
    package->image.reset();
  }
}

TEST_F(PackageImage, MainProductCompletesAtOnceWithoutDownload) {
  auto package = std::make_shared<Package>(RequestBase(*config_), true, L"main", L"feed", L"Product", L"", 0, config_);
  int calls = 0;
  win32::DownloadImage(package, manager_, [&calls] { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(package->image);
}

}  // namespace
}  // namespace zelvane
