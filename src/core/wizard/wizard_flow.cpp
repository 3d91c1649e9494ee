#include "wizard/wizard_flow.h"

namespace zelvane {

namespace {

struct PageInfo {
  PageKind kind;
  const char* name;
  int dialogTemplate;
};

constexpr PageInfo kPages[] = {
    {PageKind::Language, "LanguagePage", 9},
    {PageKind::LanguageOstrel, "LanguagePageOstrel", 10},
    {PageKind::Loading, "LoadingPage", 102},
    {PageKind::Welcome, "WelcomePage", 104},
    {PageKind::Product, "ProductPage", 105},
    {PageKind::DownloadDlm, "DPageDLM", 110},
    {PageKind::DownloadIsv, "DPageISV", 106},
    {PageKind::FinishIsv, "FinishPageISV", 107},
    {PageKind::Error, "ErrorPage", 108},
    {PageKind::FinishDlm, "FinishPageDLM", 111},
    {PageKind::License, "LicensePage", 112},
    {PageKind::WarningClassic, "WarningPageOstrelClassic", 113},
    {PageKind::OptionsClassic, "OptionsPageOstrelClassic", 114},
    {PageKind::ConfigurationsClassic, "ConfigurationsPageOstrelClassic", 115},
};

const PageInfo& Info(PageKind kind) {
  for (const PageInfo& info : kPages) {
    if (info.kind == kind) return info;
  }
  return kPages[0];
}

constexpr int kWizardDlm = 1;

}  // namespace

const char* PageName(PageKind kind) { return Info(kind).name; }
int PageTemplate(PageKind kind) { return Info(kind).dialogTemplate; }

std::vector<PageKind> InitialPages(const FlowProfile& flow) {
  return {flow.brandedFlow ? PageKind::LanguageOstrel : PageKind::Language, PageKind::Loading};
}

std::vector<PageKind> PagesAfterLoading(const FlowProfile& flow, std::size_t offers) {
  std::vector<PageKind> pages;
  if (flow.brandedFlow) {
    if (flow.classicFlow) pages.push_back(PageKind::WarningClassic);
    pages.push_back(PageKind::License);
  } else {
    pages.push_back(PageKind::Welcome);
  }
  pages.insert(pages.end(), offers, PageKind::Product);
  if (flow.classicFlow) {
    pages.push_back(PageKind::OptionsClassic);
    pages.push_back(PageKind::ConfigurationsClassic);
  }
  if (flow.wizardType == kWizardDlm) {
    pages.push_back(PageKind::DownloadDlm);
    pages.push_back(PageKind::FinishDlm);
  } else {
    pages.push_back(PageKind::DownloadIsv);
    pages.push_back(PageKind::FinishIsv);
  }
  return pages;
}

const char* SkipReasonCode(SkipReason reason) {
  switch (reason) {
    case SkipReason::SkipAll: return "SAK";
    case SkipReason::SkippedAfterDecline: return "SED";
    case SkipReason::MaxOffers: return "MOF";
    case SkipReason::DeclinedOfferSaidStop: return "DOD";
  }
  return "";
}

std::optional<std::string> CloseQuestion(bool errorShown, std::size_t current, std::size_t pageCount,
                                         bool installing) {
  if (errorShown) return std::nullopt;
  // Two pages: still loading, where the loading page is the last one there is.
  if (current + 1 < pageCount || pageCount == 2) return std::string(installing ? "PROGRESS_QUIT" : "MSG_EXIT");
  return std::nullopt;
}

WizardNavigator::Step WizardNavigator::OnButton(ButtonType button, Record& record, const SkipReporter& report) {
  Step step;
  switch (button) {
    case ButtonType::Next:
      if (current_ == 0) {
        if (returnedToStart_) {
          step.action = Step::Action::ShowPage;
          step.page = 2;
          return step;
        }
        step.createPrimaryPackage = true;
      }
      step.action = Step::Action::ShowPage;
      step.page = current_ + 1;
      return step;
    case ButtonType::SkipAll:
      skipAll_ = true;
      [[fallthrough]];
    case ButtonType::Decline:
      if (offers_ != nullptr && offerIndex_ >= 0 && static_cast<std::size_t>(offerIndex_) < offers_->size() &&
          (*offers_)[offerIndex_].saad) {
        stopAfterDecline_ = true;
      }
      [[fallthrough]];
    case ButtonType::Accept:
      return ShowAfterOffer(record, report);
    case ButtonType::Close:
      step.action = Step::Action::EndDialog;
      return step;
    case ButtonType::Finish:
      step.action = Step::Action::EndDialog;
      step.deleteWorkFolder = true;
      return step;
    case ButtonType::Back:
      returnedToStart_ = true;
      if (current_ == 0) return step;  // no page before the first
      step.action = Step::Action::ShowPage;
      step.page = current_ == 2 ? 0 : current_ - 1;
      return step;
  }
  return step;
}

WizardNavigator::Step WizardNavigator::ShowAfterOffer(Record& record, const SkipReporter& report) {
  Step step;
  step.action = Step::Action::ShowPage;
  step.page = current_ + 1 + SkipCount(record, report);
  return step;
}

std::size_t WizardNavigator::SkipCount(Record& record, const SkipReporter& report) {
  std::size_t count = 0;
  for (;;) {
    const std::size_t next = current_ + count + 1;
    if (next >= pages_.size() || pages_[next] != PageKind::Product) return count;
    ++offerIndex_;
    if (offers_ == nullptr || static_cast<std::size_t>(offerIndex_) >= offers_->size()) return count;
    OfferSkipSettings& offer = (*offers_)[offerIndex_];
    bool sed = false;
    if (!skipAll_ && !maxOffersReached_ && !stopAfterDecline_) {
      if (record.offerDeclined && offer.sied) {
        sed = true;
        offer.mo = INT_MAX;
        record.offerLimitAdjustment -= 1;
      }
      for (int earlier = 0; earlier < offerIndex_; ++earlier) {
        if (offerIndex_ >= (*offers_)[earlier].mo) {
          maxOffersReached_ = true;
          break;
        }
      }
    }
    if (!skipAll_ && !maxOffersReached_ && !stopAfterDecline_ && !sed) return count;
    if (offerIndex_ < record.offerLimit && report) {
      const SkipReason reason = skipAll_             ? SkipReason::SkipAll
                                : sed                ? SkipReason::SkippedAfterDecline
                                : maxOffersReached_ ? SkipReason::MaxOffers
                                                     : SkipReason::DeclinedOfferSaidStop;
      report(static_cast<std::size_t>(offerIndex_), reason);
    }
    ++count;
  }
}

}  // namespace zelvane
