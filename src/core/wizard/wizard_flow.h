#pragma once
// The wizard controller's decisions, free of windows: which pages a flow has and in which order,
// where each button leads, which later offer pages are passed over (and why), and which question a
// close asks. The dialog applies them.

#include <climits>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wizard/button_type.h"

namespace zelvane {

enum class PageKind {
  Language,
  LanguageOstrel,
  Loading,
  Welcome,
  Product,
  DownloadDlm,
  DownloadIsv,
  FinishIsv,
  Error,
  FinishDlm,
  License,
  WarningClassic,
  OptionsClassic,
  ConfigurationsClassic,
};

// The name a page reports ("LanguagePageOstrel", "DPageISV", ...).
const char* PageName(PageKind kind);
// The dialog template of the page.
int PageTemplate(PageKind kind);

struct FlowProfile {
  int wizardType = 0;  // 1 DLM, 2 ISV
  bool brandedFlow = true;
  bool classicFlow = false;
};

// The language page and the loading page.
std::vector<PageKind> InitialPages(const FlowProfile& flow);
// The pages appended once the loading page has `offers` accepted offers.
std::vector<PageKind> PagesAfterLoading(const FlowProfile& flow, std::size_t offers);

// The skip-rule settings of one offer, as its "cfs" object gave them.
struct OfferSkipSettings {
  int mo = INT_MAX;   // show no more offers once this many were considered
  bool saad = false;  // a decline of this offer skips the rest
  bool sied = false;  // skip this offer when an earlier one was declined
};

// The reason an offer page is passed over, sent with event 2 as {"13": reason}.
enum class SkipReason { SkipAll, SkippedAfterDecline, MaxOffers, DeclinedOfferSaidStop };
const char* SkipReasonCode(SkipReason reason);  // "SAK", "SED", "MOF", "DOD"

// The language key of the question a close asks, or nothing when the window closes at once.
std::optional<std::string> CloseQuestion(bool errorShown, std::size_t current, std::size_t pageCount,
                                         bool installing);

// Where the wizard moves, kept by the controller across button reports.
class WizardNavigator {
 public:
  struct Step {
    enum class Action { None, ShowPage, EndDialog } action = Action::None;
    std::size_t page = 0;
    bool createPrimaryPackage = false;  // the first Next: make the main product and send its event 1
    bool deleteWorkFolder = false;      // Finish
  };

  // The record fields the skip rules read and write.
  struct Record {
    bool offerDeclined = false;
    int offerLimit = 0;
    int offerLimitAdjustment = 0;
  };

  // Called for each offer page passed over while its position is below the offer limit.
  using SkipReporter = std::function<void(std::size_t offer, SkipReason reason)>;

  std::size_t current() const { return current_; }
  // The page kinds in wizard order.
  void SetPages(std::vector<PageKind> pages) { pages_ = std::move(pages); }
  const std::vector<PageKind>& pages() const { return pages_; }
  // The skip settings of the accepted offers, in the order of their pages. The navigator raises an
  // offer's "mo" to the largest int when it passes the offer over after a decline.
  void SetOffers(std::vector<OfferSkipSettings>* offers) { offers_ = offers; }
  int offerIndex() const { return offerIndex_; }
  // The page is shown (the controller calls this when it shows a page).
  void Shown(std::size_t index) { current_ = index; }

  // What the report of `button` on the current page leads to.
  Step OnButton(ButtonType button, Record& record, const SkipReporter& report);

  // How many offer pages right after the current one are passed over; reports each below the limit.
  std::size_t SkipCount(Record& record, const SkipReporter& report);

 private:
  Step ShowAfterOffer(Record& record, const SkipReporter& report);

  std::vector<PageKind> pages_;
  std::vector<OfferSkipSettings>* offers_ = nullptr;
  std::size_t current_ = 0;
  int offerIndex_ = 0;
  bool returnedToStart_ = false;
  bool skipAll_ = false;
  bool stopAfterDecline_ = false;
  bool maxOffersReached_ = false;
};

}  // namespace zelvane
