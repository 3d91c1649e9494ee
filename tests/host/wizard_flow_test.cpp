#include "wizard/wizard_flow.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zelvane {
namespace {

using Action = WizardNavigator::Step::Action;

std::vector<std::string> Names(const std::vector<PageKind>& pages) {
  std::vector<std::string> names;
  for (PageKind kind : pages) names.push_back(PageName(kind));
  return names;
}

TEST(WizardFlow, PageOrderOfEveryFlow) {
  struct Case {
    FlowProfile flow;
    std::size_t offers;
    std::vector<std::string> pages;
  } cases[] = {
      {{2, true, false}, 2,
       {"LanguagePageOstrel", "LoadingPage", "LicensePage", "ProductPage", "ProductPage", "DPageISV", "FinishPageISV"}},
      {{2, true, true}, 1,
       {"LanguagePageOstrel", "LoadingPage", "WarningPageOstrelClassic", "LicensePage", "ProductPage",
        "OptionsPageOstrelClassic", "ConfigurationsPageOstrelClassic", "DPageISV", "FinishPageISV"}},
      {{2, false, false}, 0, {"LanguagePage", "LoadingPage", "WelcomePage", "DPageISV", "FinishPageISV"}},
      {{2, false, true}, 0,
       {"LanguagePage", "LoadingPage", "WelcomePage", "OptionsPageOstrelClassic", "ConfigurationsPageOstrelClassic",
        "DPageISV", "FinishPageISV"}},
      {{1, true, false}, 1, {"LanguagePageOstrel", "LoadingPage", "LicensePage", "ProductPage", "DPageDLM", "FinishPageDLM"}},
  };
  for (const Case& c : cases) {
    std::vector<PageKind> pages = InitialPages(c.flow);
    const std::vector<PageKind> rest = PagesAfterLoading(c.flow, c.offers);
    pages.insert(pages.end(), rest.begin(), rest.end());
    EXPECT_EQ(Names(pages), c.pages) << "type " << c.flow.wizardType << " branded " << c.flow.brandedFlow
                                     << " classic " << c.flow.classicFlow;
  }
  EXPECT_EQ(PageTemplate(PageKind::LanguageOstrel), 10);
  EXPECT_EQ(PageTemplate(PageKind::License), 112);
  EXPECT_EQ(PageTemplate(PageKind::DownloadDlm), 110);
}

TEST(WizardFlow, CloseAsksExceptOnTheLastPageAndTheErrorPage) {
  struct Case {
    bool errorShown;
    std::size_t current, pageCount;
    bool installing;
    std::optional<std::string> question;
  } cases[] = {
      {false, 1, 2, false, "MSG_EXIT"},       // loading: the last page there is, and still asked
      {false, 0, 2, false, "MSG_EXIT"},
      {false, 2, 5, false, "MSG_EXIT"},
      {false, 3, 5, true, "PROGRESS_QUIT"},  // the download page runs an installer
      {false, 4, 5, false, std::nullopt},    // finish page
      {true, 2, 5, false, std::nullopt},     // error page
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CloseQuestion(c.errorShown, c.current, c.pageCount, c.installing), c.question)
        << c.current << " of " << c.pageCount;
  }
}

// A wizard after loading: language, loading, license, the offers, download, finish.
struct Wizard {
  explicit Wizard(std::vector<OfferSkipSettings> offerSettings, int offerLimit = 10) : offers(std::move(offerSettings)) {
    std::vector<PageKind> pages = InitialPages({2, true, false});
    const std::vector<PageKind> rest = PagesAfterLoading({2, true, false}, offers.size());
    pages.insert(pages.end(), rest.begin(), rest.end());
    nav.SetPages(pages);
    nav.SetOffers(&offers);
    record.offerLimit = offerLimit;
  }

  // Reports the button and shows the page it leads to; returns the name of the page shown.
  std::string Press(ButtonType button) {
    const WizardNavigator::Step step = nav.OnButton(button, record, [this](std::size_t offer, SkipReason reason) {
      reported.emplace_back(offer, SkipReasonCode(reason));
    });
    if (step.createPrimaryPackage) ++primaryPackages;
    if (step.action == Action::ShowPage && step.page < nav.pages().size()) nav.Shown(step.page);
    return PageName(nav.pages()[nav.current()]);
  }

  std::vector<OfferSkipSettings> offers;
  WizardNavigator nav;
  WizardNavigator::Record record;
  std::vector<std::pair<std::size_t, std::string>> reported;
  int primaryPackages = 0;
};

TEST(WizardNavigator, BackFromTheLicensePageAndNextAgainMakeNoSecondMainProduct) {
  Wizard w({});
  EXPECT_EQ(w.Press(ButtonType::Next), "LoadingPage");
  EXPECT_EQ(w.primaryPackages, 1);
  w.nav.Shown(2);  // the load-complete step moves on to the license page
  EXPECT_EQ(w.Press(ButtonType::Back), "LanguagePageOstrel");
  EXPECT_EQ(w.Press(ButtonType::Next), "LicensePage");
  EXPECT_EQ(w.primaryPackages, 1);
  // No offers: the license page's Next leads to the download page.
  EXPECT_EQ(w.Press(ButtonType::Next), "DPageISV");
  EXPECT_EQ(w.Press(ButtonType::Back), "LicensePage");
}

TEST(WizardNavigator, FinishAndCloseEndTheDialog) {
  Wizard w({});
  const auto finish = w.nav.OnButton(ButtonType::Finish, w.record, nullptr);
  EXPECT_EQ(finish.action, Action::EndDialog);
  EXPECT_TRUE(finish.deleteWorkFolder);
  const auto close = w.nav.OnButton(ButtonType::Close, w.record, nullptr);
  EXPECT_EQ(close.action, Action::EndDialog);
  EXPECT_FALSE(close.deleteWorkFolder);
  EXPECT_EQ(w.nav.OnButton(ButtonType::Back, w.record, nullptr).action, Action::None);  // on the first page
}

OfferSkipSettings Saad() { OfferSkipSettings s; s.saad = true; return s; }
OfferSkipSettings Sied() { OfferSkipSettings s; s.sied = true; return s; }
OfferSkipSettings Mo(int mo) { OfferSkipSettings s; s.mo = mo; return s; }

TEST(WizardNavigator, SkipRules) {
  using Reports = std::vector<std::pair<std::size_t, std::string>>;
  struct Case {
    const char* name;
    std::vector<OfferSkipSettings> offers;
    int offerLimit;
    std::vector<ButtonType> presses;  // on the offer pages, from the first
    bool declinedBefore;              // what the offer page records on Decline and Skip All
    std::string endsOn;
    Reports reported;
    int limitAdjustment;
  } cases[] = {
      {"decline with saad skips the rest as DOD", {Saad(), {}, {}}, 10, {ButtonType::Decline}, true, "DPageISV",
       {{1, "DOD"}, {2, "DOD"}}, 0},
      {"only offers below the limit are reported", {Saad(), {}, {}}, 2, {ButtonType::Decline}, true, "DPageISV",
       {{1, "DOD"}}, 0},
      {"decline without saad shows the next", {{}, {}}, 10, {ButtonType::Decline}, true, "ProductPage", {}, 0},
      {"skip all", {{}, {}}, 10, {ButtonType::SkipAll}, true, "DPageISV", {{1, "SAK"}}, 0},
      {"mo of an earlier offer", {Mo(1), {}, {}}, 10, {ButtonType::Accept}, false, "DPageISV",
       {{1, "MOF"}, {2, "MOF"}}, 0},
      {"mo 2 lets the second through", {Mo(2), {}, {}}, 10, {ButtonType::Accept, ButtonType::Accept}, false,
       "DPageISV", {{2, "MOF"}}, 0},
      {"sied after a decline", {{}, Sied(), {}}, 10, {ButtonType::Decline}, true, "ProductPage", {{1, "SED"}}, -1},
      {"sied without a decline is shown", {{}, Sied()}, 10, {ButtonType::Accept}, false, "ProductPage", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Wizard w(c.offers, c.offerLimit);
    w.nav.Shown(3);  // the first offer page is always shown
    std::string page;
    for (ButtonType press : c.presses) {
      if (press != ButtonType::Accept) w.record.offerDeclined = c.declinedBefore;
      page = w.Press(press);
    }
    EXPECT_EQ(page, c.endsOn);
    EXPECT_EQ(w.reported, c.reported);
    EXPECT_EQ(w.record.offerLimitAdjustment, c.limitAdjustment);
  }
}

TEST(WizardNavigator, AnOfferPassedOverAfterADeclineNoLongerLimitsLaterOnes) {
  // The second offer is passed over by "sied" and its "mo" of 1 is lifted: the third is shown.
  Wizard w({{}, [] { OfferSkipSettings s = Sied(); s.mo = 1; return s; }(), {}});
  w.nav.Shown(3);
  w.record.offerDeclined = true;
  EXPECT_EQ(w.Press(ButtonType::Decline), "ProductPage");
  EXPECT_EQ(w.nav.current(), 5u);
  EXPECT_EQ(w.offers[1].mo, INT_MAX);
  EXPECT_EQ(w.reported, (std::vector<std::pair<std::size_t, std::string>>{{1, "SED"}}));
}

}  // namespace
}  // namespace zelvane
