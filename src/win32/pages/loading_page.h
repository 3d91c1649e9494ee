#pragma once
// The second page of every wizard: a marquee while a background job asks the configuration endpoint
// what to offer and checks each offer; then the offer pictures (and the DLM logo) are fetched and the
// accepted offers handed to the controller.

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "offers/package.h"
#include "pages/loading_job.h"
#include "wizard/page.h"

namespace zelvane::win32 {

// Posted by the job to the page just before it returns.
constexpr UINT kRequestCompleteMessage = WM_USER + 4;

class LoadingPage : public IPage {
 public:
  using OfferList = std::vector<std::shared_ptr<Package>>;
  using LoadedHandler = std::function<void(OfferList)>;

  explicit LoadingPage(std::shared_ptr<LanguageManager> languageManager);
  ~LoadingPage() override;

  // Starts the marquee and the job.
  void OnNavigateToPage() override;
  void SetButtonHandler(ButtonHandler handler) override { m_buttonHandler = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) override { m_errorHandler = std::move(handler); }
  std::wstring GetName() const override { return L"LoadingPage"; }
  // Called exactly once per run, on the UI thread or on a download thread, with the accepted offers.
  // An empty handler (set when the wizard closes) is never called.
  void SetLoadedHandler(LoadedHandler handler);

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // What the completions of the picture downloads share; it outlives the page while they run.
  struct Pending {
    std::mutex m_mutex;
    int m_pendingImages = 0;
    LoadedHandler m_onLoaded;
    OfferList offers;
    // One download fewer; the one that brings the count to 0 hands the list over.
    void Done();
  };

  LRESULT OnRequestComplete(WPARAM wParam, LPARAM lParam);
  void ShowConfigurationError();

  std::shared_ptr<Pending> m_pending;
  std::future<LoadingOutcome> m_result;
  bool m_configError = false;
  Control m_progress;
  ButtonHandler m_buttonHandler;
  ErrorHandler m_errorHandler;
};

}  // namespace zelvane::win32
