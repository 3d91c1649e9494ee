#include "localisation/language_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "app/configuration_manager.h"
#include "fakes/fake_platform.h"

namespace zelvane {
namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;
using testing::TestProfile;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// The locale documents of the resource script, by id, read from the source tree; a test may
// replace or remove one, or make it fail to load.
class FakeResources : public ResourceSource {
 public:
  FakeResources() {
    const std::string dir = ZELVANE_LOCALE_DIR;
    documents = {{101, ReadFile(dir + "/isv_en_US.xml")}, {102, ReadFile(dir + "/isv_es.xml")},
                 {105, ReadFile(dir + "/dlm_en_US.xml")}, {106, ReadFile(dir + "/dlm_es.xml")},
                 {108, ReadFile(dir + "/branded.xml")}};
  }
  ResourceStatus Load(const std::wstring& type, int id, std::vector<std::uint8_t>* bytes) override {
    if (type != L"LOCALE") return ResourceStatus::kNotFound;
    if (failing.count(id) != 0) return ResourceStatus::kLoadFailed;
    const auto found = documents.find(id);
    if (found == documents.end()) return ResourceStatus::kNotFound;
    bytes->assign(found->second.begin(), found->second.end());
    return ResourceStatus::kOk;
  }

  std::map<int, std::string> documents;
  std::set<int> failing;
};

// The native language names Windows gives; it does not know "en_US".
class FakeLocale : public LocaleSource {
 public:
  std::optional<std::wstring> UserDefaultLocaleName() override { return userLocale; }
  std::optional<std::wstring> NativeLanguageName(const std::wstring& name) override {
    static const std::map<std::wstring, std::wstring> names = {
        {L"en", L"English"},  {L"en-US", L"English"},  {L"es", L"español"},
        {L"es-MX", L"español"}, {L"fr", L"français"}, {L"fr-FR", L"français"}};
    const auto found = names.find(name);
    if (found == names.end()) return std::nullopt;
    return found->second;
  }

  std::optional<std::wstring> userLocale = L"en-US";
};

class RecordingPage : public LocalizedPage {
 public:
  void UpdateTexts() override { ++updates; }
  int updates = 0;
};

class LanguageManagerTest : public ::testing::Test {
 protected:
  explicit LanguageManagerTest(const std::string& type = "ISV")
      : config(std::make_shared<ConfigurationManager>(TestProfile(type), fakes.platform)),
        manager(config, fakes.platform, resources, locale) {}

  std::vector<std::wstring> Messages() {
    std::vector<std::wstring> texts;
    for (const auto& shown : fakes.ui.shown()) {
      EXPECT_EQ(shown.caption, L"ZelvaneWebSetup");
      EXPECT_EQ(shown.flags, mb::kOk);
      texts.push_back(shown.text);
    }
    return texts;
  }

  // Lists the languages and selects one.
  void Select(const std::wstring& language) {
    (void)manager.FillLanguageList();
    ASSERT_TRUE(manager.SelectLanguage(language));
  }

  FakePlatform fakes;
  FakeResources resources;
  FakeLocale locale;
  std::shared_ptr<ConfigurationManager> config;
  LanguageManager manager;
};

TEST_F(LanguageManagerTest, ResolvesReferencesAgainInInsertedText) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> texts;
    std::map<std::string, std::string> expected;
  };
  const Case cases[] = {
      {"nested", {{"A", "<{B}>"}, {"B", "{C} and {C}"}, {"C", "c"}}, {{"A", "<c and c>"}, {"B", "c and c"}}},
      {"order of keys does not matter", {{"Z", "{A}"}, {"A", "{M}"}, {"M", "m"}}, {{"Z", "m"}, {"A", "m"}}},
      {"missing key kept", {{"A", "x {NOPE} {B} y"}, {"B", "b"}}, {{"A", "x {NOPE} b y"}}},
      {"unclosed brace ends the scan", {{"A", "{B} then {B"}, {"B", "b"}}, {{"A", "b then {B"}}},
      {"brace inside a name", {{"A", "{{B}"}, {"B", "b"}}, {{"A", "{{B}"}}},
      {"pages' own tokens kept", {{"A", "[PACKAGE_NAME] $percent$ {B}"}, {"B", "b"}}, {{"A", "[PACKAGE_NAME] $percent$ b"}}},
      {"case-sensitive", {{"A", "{b}"}, {"B", "x"}}, {{"A", "{b}"}}},
      {"empty text", {{"A", "<{B}>"}, {"B", ""}}, {{"A", "<>"}}},
      {"self reference stays", {{"A", "x{A}y"}}, {{"A", "x{A}y"}}},
      {"reference cycle stays", {{"A", "a{B}"}, {"B", "b{A}"}}, {{"A", "ab{A}"}, {"B", "bab{A}"}}},  // B takes A as already resolved
      {"self reference beside a good one", {{"A", "{A}{B}{A}"}, {"B", "b"}}, {{"A", "{A}b{A}"}}},
  };
  for (const auto& c : cases) {
    manager.texts = c.texts;
    manager.ResolveReferences();
    for (const auto& [key, text] : c.expected) EXPECT_EQ(manager.texts[key], text) << c.name << ": " << key;
  }
}

TEST_F(LanguageManagerTest, EnglishIsvTextsResolveWithTheProductTitle) {
  Select(L"English");
  EXPECT_EQ(manager.GetText("PRODUCT_TITLE"), L"Zelvane Web");
  EXPECT_EQ(manager.GetText("WELCOME_TEXT"), L"This will install Zelvane Web on your computer. Click \"Next\" to continue.");
  EXPECT_EQ(manager.GetText("PAGE_FINISH_TITLE"), L"Thank you.\r\nYour installation is complete.");
  EXPECT_EQ(manager.GetText("PRODUCT_DISCLAIMER"),
            L"When you click \"Accept\", you agree to the installation of \"[PACKAGE_NAME]\" and that you have read "
            L"the <a href=\"[PACKAGE_PRIVACY_URL]\">Privacy Policy</a> and agree to the terms of its "
            L"<a href=\"[PACKAGE_EULA_URL]\">End User License Agreement</a>. Check \"Add/Remove Programs\" to uninstall.");
  EXPECT_EQ(manager.GetText("PROGRESS_STATUS"), L"$percent$ Completed");
  EXPECT_EQ(manager.GetText("SPLASH_TITLE_OSTREL"), L"Welcome to Zelvane Web\u00AE Setup Wizard");
  EXPECT_EQ(manager.GetText("SPLASH_TEXT_OSTREL"), L"Click \"Next\" to continue.");
  EXPECT_EQ(manager.GetText("LICENSE_DISCLAIMER"),
            L"By clicking \"Accept\", acknowledge that you have read and agreed to the <a href=\"[LICENSE_TOS_URL]\">"
            L"Terms</a> and <a href=\"[LICENSE_PRIVACY_URL]\">Privacy Policy</a>.");
  EXPECT_GT(manager.GetText("LICENSE_EULA").size(), 1000u);
  EXPECT_EQ(manager.GetText("NO_SUCH_KEY"), L"");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(LanguageManagerTest, SpanishIsvHasItsOwnTextsAndNoAgreeButton) {
  Select(L"español");
  EXPECT_EQ(manager.GetText("BUTTON_NEXT"), L"Siguiente");
  EXPECT_EQ(manager.GetText("SPLASH_TEXT_OSTREL"), L"Haga clic en \"Siguiente\" para continuar.");
  EXPECT_EQ(manager.GetText("MSG_EXIT"), L"\u00BFEst\u00E1 seguro de que desea salir del instalador?");
  for (const char* absent : {"BUTTON_AGREE", "BUTTON_BACK", "SDK_LINK"}) EXPECT_EQ(manager.GetText(absent), L"") << absent;
  EXPECT_EQ(config->language, L"español");
  EXPECT_EQ(config->languageCode, L"es");
}

// Each Spanish document has the keys of its English one, less those the wizard type leaves out,
// plus its own "SPLASH_TEXT_OSTREL"; every reference of every language resolves.
TEST_F(LanguageManagerTest, SpanishDocumentsCoverTheirEnglishKeys) {
  auto keys = [&](int id) {
    tinyxml2::XMLDocument document;
    EXPECT_EQ(document.Parse(resources.documents[id].c_str()), tinyxml2::XML_SUCCESS);
    std::set<std::string> names;
    for (auto* e = document.FirstChildElement("Locale")->FirstChildElement(); e; e = e->NextSiblingElement()) {
      EXPECT_TRUE(names.insert(e->Name()).second) << "duplicate " << e->Name() << " in " << id;
    }
    return names;
  };
  std::set<std::string> isv = keys(101);
  for (const char* left : {"SDK_LINK", "BUTTON_AGREE", "BUTTON_BACK"}) isv.erase(left);
  isv.insert("SPLASH_TEXT_OSTREL");
  EXPECT_EQ(keys(102), isv);
  std::set<std::string> dlm = keys(105);
  // The DLM flow shows the license page too: its buttons must not read as template placeholders.
  for (const char* button : {"BUTTON_AGREE", "BUTTON_BACK"}) EXPECT_EQ(dlm.count(button), 1u) << button;
  dlm.insert("SPLASH_TEXT_OSTREL");
  EXPECT_EQ(keys(106), dlm);

  const std::regex reference(R"(\{[A-Z_]+\})");
  for (const std::wstring language : {L"English", L"español"}) {
    Select(language);
    for (const auto& [key, text] : manager.texts) {
      EXPECT_FALSE(std::regex_search(text, reference)) << key << ": " << text;
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(LanguageManagerTest, TitleThenFragmentThenDocument) {
  struct Case {
    const char* name;
    const char* fragmentTitle;  // null: the fragment does not define PRODUCT_TITLE
    const char* documentTitle;
    bool branded;
    std::wstring expected;
  };
  const Case cases[] = {
      {"record only", nullptr, nullptr, true, L"Zelvane Web"},
      {"fragment wins over the record", "From fragment", nullptr, true, L"From fragment"},
      {"document wins over both", "From fragment", "From document", true, L"From document"},
      {"no fragment without the branded flow", "From fragment", nullptr, false, L"Zelvane Web"},
  };
  for (const auto& c : cases) {
    resources.documents[108] = std::string("<SHARED>fragment</SHARED>") +
                               (c.fragmentTitle ? std::string("<PRODUCT_TITLE>") + c.fragmentTitle + "</PRODUCT_TITLE>" : "");
    resources.documents[101] = std::string("<Locale name=\"en_US\"><SHARED>document</SHARED><T>{PRODUCT_TITLE}</T>") +
                               (c.documentTitle ? std::string("<PRODUCT_TITLE>") + c.documentTitle + "</PRODUCT_TITLE>" : "") +
                               "</Locale>";
    config->brandedFlow = c.branded;
    Select(L"English");
    EXPECT_EQ(manager.GetText("PRODUCT_TITLE"), c.expected) << c.name;
    EXPECT_EQ(manager.GetText("T"), c.expected) << c.name;
    EXPECT_EQ(manager.GetText("SHARED"), L"document") << c.name;
  }
}

TEST_F(LanguageManagerTest, PlainFlowLeavesTheFragmentKeysEmpty) {
  config->brandedFlow = false;
  const auto list = manager.FillLanguageList();
  EXPECT_FALSE(list.hidden);
  ASSERT_TRUE(manager.SelectLanguage(L"English"));
  for (const char* key : {"SPLASH_TITLE_OSTREL", "SPLASH_TEXT_OSTREL", "LICENSE_TITLE", "LICENSE_TEXT",
                          "LICENSE_DISCLAIMER", "LICENSE_EULA"}) {
    EXPECT_EQ(manager.GetText(key), L"") << key;
  }
  EXPECT_EQ(manager.GetText("BUTTON_NEXT"), L"Next");
}

TEST_F(LanguageManagerTest, PreselectsTheUsersLanguage) {
  struct Case {
    std::optional<std::wstring> userLocale;
    int selection;
  };
  const Case cases[] = {
      {L"es-MX", 1},       // Mexican Spanish has the native name of "es"
      {L"en-US", 0},
      {L"fr-FR", 0},       // no French document: the first language
      {std::nullopt, 0},   // the locale call failed: "English"
  };
  for (const auto& c : cases) {
    locale.userLocale = c.userLocale;
    const auto list = manager.FillLanguageList();
    EXPECT_THAT(list.items, ElementsAre(L"English", L"español"));
    EXPECT_EQ(list.selection, c.selection) << (c.userLocale ? std::string(c.userLocale->begin(), c.userLocale->end()) : "none");
    EXPECT_TRUE(list.hidden) << "the branded flow shows no choice";
  }
  EXPECT_EQ(manager.languageIds, (std::map<std::wstring, int>{{L"English", 101}, {L"español", 102}}));
  EXPECT_EQ(manager.languageCodes, (std::map<std::wstring, std::wstring>{{L"English", L"en_US"}, {L"español", L"es"}}));
}

TEST_F(LanguageManagerTest, DisplayNameRetriesTheLanguagePart) {
  EXPECT_EQ(manager.LocaleDisplayName(L"en_US"), L"English");
  EXPECT_EQ(manager.LocaleDisplayName(L"es"), L"español");
  EXPECT_EQ(manager.LocaleDisplayName(L"xx_YY"), L"xx_YY");
  EXPECT_EQ(manager.LocaleDisplayName(L"zz"), L"zz");
}

TEST_F(LanguageManagerTest, DlmListsItsOwnDocuments) {
  config->wizardType = kWizardDlm;
  EXPECT_THAT(manager.LanguageResourceIds(), ElementsAre(105, 106));
  Select(L"English");
  EXPECT_EQ(manager.GetText("WELCOME_TEXT"), L"This will download Zelvane Web on your computer. Click \"Next\" to continue.");
  EXPECT_EQ(manager.GetText("EULA_LINK"), L"");
  EXPECT_EQ(manager.GetText("TOS_LINK"), L"End User License Agreement");
}

TEST_F(LanguageManagerTest, UnknownWizardTypeListsNothing) {
  config->wizardType = kWizardNone;
  EXPECT_TRUE(manager.FillLanguageList().items.empty());
  EXPECT_THAT(Messages(), ElementsAre(L"Unknown wizard type (language manager"));
  config->wizardType = 7;
  EXPECT_TRUE(manager.LanguageResourceIds().empty());
  EXPECT_EQ(Messages().size(), 1u) << "other values are silent";
}

TEST_F(LanguageManagerTest, BrokenDocumentsAreReportedAndLeftOut) {
  struct Case {
    const char* name;
    std::function<void(FakeResources&)> breakIt;
    std::vector<std::wstring> items;
    std::wstring message;  // a prefix; "" for none
  };
  const Case cases[] = {
      {"missing", [](FakeResources& r) { r.documents.erase(102); }, {L"English"}, L"Failed to find resource with id: 102"},
      {"not loadable", [](FakeResources& r) { r.failing.insert(101); }, {L"español"}, L"Failed to load resource with id: 101"},
      {"empty", [](FakeResources& r) { r.documents[102] = ""; }, {L"English"},
       L"Failed to parse language xml file, error code: Error=XML_ERROR_EMPTY_DOCUMENT"},
      {"starts with a zero byte", [](FakeResources& r) { r.documents[102] = std::string(1, '\0') + "<Locale/>"; },
       {L"English"}, L"Failed to parse language xml file, error code: Error=XML_ERROR_EMPTY_DOCUMENT"},
      {"not XML", [](FakeResources& r) { r.documents[102] = "<Locale name=\"es\"><A>x</B></Locale>"; }, {L"English"},
       L"Failed to parse language xml file, error code: Error="},
      {"no name", [](FakeResources& r) { r.documents[102] = "<Locale><A>x</A></Locale>"; }, {L"English"},
       L"Failed to parse language xml file, error code: No name attribute"},
      {"no Locale element", [](FakeResources& r) { r.documents[102] = "<Other name=\"es\"/>"; }, {L"English"}, L""},
      {"same display name", [](FakeResources& r) { r.documents[102] = "<Locale name=\"en-US\"><A>x</A></Locale>"; },
       {L"English", L"English"}, L""},
  };
  for (const auto& c : cases) {
    FakePlatform fakes;
    FakeResources resources;
    FakeLocale locale;
    auto config = std::make_shared<ConfigurationManager>(TestProfile("ISV"), fakes.platform);
    LanguageManager manager(config, fakes.platform, resources, locale);
    c.breakIt(resources);
    EXPECT_EQ(manager.FillLanguageList().items, c.items) << c.name;
    const auto shown = fakes.ui.shown();
    if (c.message.empty()) {
      EXPECT_TRUE(shown.empty()) << c.name;
    } else {
      ASSERT_EQ(shown.size(), 1u) << c.name;
      EXPECT_EQ(shown[0].text.rfind(c.message, 0), 0u) << c.name << ": " << std::string(shown[0].text.begin(), shown[0].text.end());
    }
  }
  // A later document with the same display name takes over the name.
  resources.documents[102] = "<Locale name=\"en-US\"><A>x</A></Locale>";
  (void)manager.FillLanguageList();
  EXPECT_EQ(manager.languageIds[L"English"], 102);
  EXPECT_EQ(manager.languageCodes[L"English"], L"en-US");
}

TEST_F(LanguageManagerTest, AnElementWithoutTextStopsTheLoadUnresolved) {
  resources.documents[102] =
      "<Locale name=\"es\"><!-- c --><A>{B}</A><B>b</B><EMPTY/><C>never</C></Locale>";
  Select(L"English");
  ASSERT_TRUE(manager.SelectLanguage(L"español")) << "the selection itself goes through";
  EXPECT_THAT(Messages(), ElementsAre(L"Failed to parse language xml file, error code: No name or text attribute"));
  EXPECT_EQ(manager.GetText("A"), L"{B}") << "texts read so far stay, unresolved";
  EXPECT_EQ(manager.GetText("C"), L"");
  EXPECT_EQ(manager.GetText("BUTTON_NEXT"), L"") << "the earlier table is gone";
  EXPECT_EQ(config->languageCode, L"es");
}

TEST_F(LanguageManagerTest, TextIsTheFirstChildThatIsNotAComment) {
  resources.documents[101] =
      "<Locale name=\"en_US\"><A><!-- note --> spaced  text </A><B><!-- x --><i>markup</i></B></Locale>";
  Select(L"English");
  EXPECT_EQ(manager.GetText("A"), L" spaced  text ") << "whitespace kept as written";
  EXPECT_THAT(Messages(), ElementsAre(L"Failed to parse language xml file, error code: No name or text attribute"));
}

TEST_F(LanguageManagerTest, SelectingRefreshesTheRegisteredPagesAndRecordsTheChoice) {
  RecordingPage first, second, gone;
  manager.AddPage(&first);
  manager.AddPage(&gone);
  manager.AddPage(&second);
  manager.AddPage(&gone);
  manager.RemovePage(&gone);
  (void)manager.FillLanguageList();

  EXPECT_FALSE(manager.SelectLanguage(L"Deutsch"));
  EXPECT_EQ(first.updates, 0);
  EXPECT_EQ(config->language, L"");

  ASSERT_TRUE(manager.SelectLanguage(L"English"));
  EXPECT_EQ(config->language, L"English");
  EXPECT_EQ(config->languageCode, L"en_US");
  ASSERT_TRUE(manager.SelectLanguage(L"español"));
  EXPECT_EQ(first.updates, 2);
  EXPECT_EQ(second.updates, 2);
  EXPECT_EQ(gone.updates, 0) << "every occurrence left the list";

  // A language whose document has gone since the list was made keeps the previous table.
  resources.documents.erase(101);
  EXPECT_FALSE(manager.SelectLanguage(L"English"));
  EXPECT_EQ(manager.GetText("BUTTON_NEXT"), L"Siguiente");
  EXPECT_EQ(config->language, L"español");
}

}  // namespace
}  // namespace zelvane
