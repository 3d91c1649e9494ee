// The loading page created for real in this process against the local content service: the
// configuration answer, the offers it accepts, their pictures and the hand-over to the controller.

#include <gtest/gtest.h>
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "app/configuration_manager.h"
#include "app/system_resources.h"
#include "content_service.h"
#include "download/download_manager.h"
#include "pages/loading_page.h"
#include "resource.h"
#include "ui/dialog.h"

namespace zelvane {
namespace {

using json = nlohmann::json;
using test::ContentService;
using test::ContentUrl;
using test::UniquePath;

class HostDialog : public win32::Dialog {
 public:
  HostDialog() : Dialog(IDD_ORVANE_DIALOG) {}
};

// What the page handed over, and on which thread.
struct Handover {
  int calls = 0;
  DWORD thread = 0;
  win32::LoadingPage::OfferList offers;
};

class LoadingPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = {config->configurationUrl, config->fileBaseUrl};
    ASSERT_TRUE(host.Create(nullptr)) << ::GetLastError();
    config->configurationUrl = ContentUrl(UniquePath("o"));
    config->fileBaseUrl = ContentUrl(UniquePath("f/"));
    config->offerCount = 0;
    win32::DownloadManager::Instance()->cancelled = false;
  }
  void TearDown() override {
    config->configurationUrl = saved[0];
    config->fileBaseUrl = saved[1];
  }

  // Runs the page until it handed the offers over; false when that did not happen in time.
  bool Run(win32::LoadingPage& page, Handover& handover) {
    page.SetBackgroundColour(config->backgroundColour);
    if (!page.Create(host.hwnd())) return false;
    page.SetErrorHandler([](const std::wstring&, const std::wstring&) { ADD_FAILURE() << "error page"; });
    page.SetLoadedHandler([this, &handover](win32::LoadingPage::OfferList offers) {
      handover.calls += 1;
      handover.thread = ::GetCurrentThreadId();
      handover.offers = std::move(offers);
      ::PostMessageW(host.hwnd(), WM_NULL, 0, 0);  // wakes the loop below
    });
    page.OnNavigateToPage();
    const DWORD start = ::GetTickCount();
    MSG message;
    while (handover.calls == 0 && ::GetTickCount() - start < 60000) {
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return handover.calls > 0;
  }

  static json Offer(const std::string& id, int group, const std::string& image) {
    return {{"ad", {{"o", id}, {"f", "feed-" + id}}},
            {"ps", {{"i", image}, {"dn", "Offer " + id}, {"u", "https://cdn.zelvane.test/" + id + ".exe"}, {"v", group}}}};
  }

  std::shared_ptr<ConfigurationManager> config = ConfigurationManager::Instance();
  HostDialog host;
  std::vector<std::wstring> saved;
};

TEST_F(LoadingPageTest, OffersArriveWithTheirPicturesOnce) {
  const std::string pictures = UniquePath("f/");
  ContentService::AddRoutes({
      {UniquePath("o"), {{"json", {{"l", "US"}, {"f", {{"m", 3}}},
                                   {"o", {Offer("wine-a", 1, "a.png"), Offer("wine-b", 2, "missing.png")}}}}}},
      {pictures + "a.png", {{"image", {{"width", 64}, {"height", 32}, {"colour", "#c03030"}}}}},
  });
  const auto mark = ContentService::Mark();
  Handover handover;
  {
    win32::LoadingPage page(win32::CreateLanguageManager());
    ASSERT_TRUE(Run(page, handover));
    ::Sleep(200);  // a second hand-over, were there one, would come from the last completion
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }
  EXPECT_EQ(handover.calls, 1);
  ASSERT_EQ(handover.offers.size(), 2u);
  EXPECT_EQ(handover.offers[0]->offerId, "wine-a");
  EXPECT_EQ(handover.offers[1]->position, 1);
  ASSERT_TRUE(handover.offers[0]->image);
  EXPECT_EQ(handover.offers[0]->image->GetWidth(), 64u);
  EXPECT_FALSE(handover.offers[1]->image) << "a picture that is not there leaves none";
  EXPECT_EQ(config->offerCount, 2);
  EXPECT_EQ(ContentService::Log(mark, pictures + "a.png").size(), 1u);
  EXPECT_FALSE(ContentService::Log(mark, pictures + "missing.png").empty());
  for (auto& offer : handover.offers) offer->image.reset();  // before GDI+ goes
}

TEST_F(LoadingPageTest, WithoutOffersTheHandoverRunsOnThePagesThread) {
  ContentService::AddRoutes({{UniquePath("o"), {{"json", {{"l", "US"}, {"f", {{"m", 3}}}, {"o", json::array()}}}}}});
  Handover handover;
  win32::LoadingPage page(win32::CreateLanguageManager());
  ASSERT_TRUE(Run(page, handover));
  EXPECT_EQ(handover.calls, 1);
  EXPECT_EQ(handover.thread, ::GetCurrentThreadId());
  EXPECT_TRUE(handover.offers.empty());
}

}  // namespace
}  // namespace zelvane
