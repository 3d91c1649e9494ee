#pragma once
// Every text the wizard shows: a table keyed by name, loaded from the locale documents in the
// program's resources, one document per language. The manager lists the languages of the wizard
// type, loads the chosen one, resolves "{KEY}" references between texts, and tells every
// registered page to refresh its texts when the language changes. UI thread only.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ports/platform.h"
#include "ports/resources.h"

namespace tinyxml2 {
class XMLDocument;
}

namespace zelvane {

class ConfigurationManager;

// Resource type and ids of the locale documents.
constexpr const wchar_t* kLocaleResourceType = L"LOCALE";
constexpr int kIsvEnglishLocale = 101;
constexpr int kIsvSpanishLocale = 102;
constexpr int kDlmEnglishLocale = 105;
constexpr int kDlmSpanishLocale = 106;
constexpr int kBrandedFragment = 108;

// Whatever shows texts of the manager: refreshed after every language change.
class LocalizedPage {
 public:
  virtual void UpdateTexts() = 0;

 protected:
  ~LocalizedPage() = default;
};

class LanguageManager {
 public:
  // The languages for a language page's list box, in list order (a name may repeat when two
  // documents share a display name), and the item to preselect.
  struct LanguageList {
    std::vector<std::wstring> items;
    int selection = 0;
    bool hidden = false;  // the branded flow shows no choice
  };

  LanguageManager(std::shared_ptr<ConfigurationManager> config, Platform& platform, ResourceSource& resources,
                  LocaleSource& locale);
  LanguageManager(const LanguageManager&) = delete;
  LanguageManager& operator=(const LanguageManager&) = delete;
  ~LanguageManager();

  // The LOCALE resources of the wizard type, plus nothing for an unknown type (which is reported).
  std::vector<int> LanguageResourceIds();
  // The native language name Windows gives the locale name; "en_US", which Windows refuses, is
  // retried as "en". The name itself when neither is known.
  std::wstring LocaleDisplayName(const std::wstring& name);
  // Reads every language document, rebuilds the display-name tables and picks the user's language.
  LanguageList FillLanguageList();
  // Parses the LOCALE resource `id` into `document`; every failure is shown in a message box.
  [[nodiscard]] bool LoadLocaleResource(int id, tinyxml2::XMLDocument* document);
  // Replaces the text table from a loaded language document (product title, then the branded
  // fragment, then the document's own texts) and resolves the references.
  [[nodiscard]] bool LoadTexts(tinyxml2::XMLDocument* document);
  // Replaces every "{KEY}" whose key has a text by that text, itself resolved. A reference that
  // would expand a key inside its own expansion, or nest deeper than kMaxReferenceDepth, stays as
  // written.
  void ResolveReferences();
  // Loads the language, refreshes every registered page and records the choice in the record.
  bool SelectLanguage(const std::wstring& displayName);
  // The text of `key`; "" for an absent key or an empty text.
  std::wstring GetText(const std::string& key) const;

  // Pages register themselves when they are made and leave when they go.
  void AddPage(LocalizedPage* page);
  void RemovePage(LocalizedPage* page);

  static constexpr int kMaxReferenceDepth = 16;

  std::map<std::wstring, int> languageIds;             // display name -> LOCALE resource id
  std::map<std::wstring, std::wstring> languageCodes;  // display name -> the document's "name"
  std::vector<LocalizedPage*> pages;
  std::map<std::string, std::string> texts;  // key -> text, UTF-8

 private:
  void ShowMessage(const std::wstring& text);
  void ShowParseError(const std::string& detail);

  std::shared_ptr<ConfigurationManager> config_;
  Platform& platform_;
  ResourceSource& resources_;
  LocaleSource& locale_;
};

}  // namespace zelvane
