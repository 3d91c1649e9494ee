#include "localisation/language_manager.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>

#include "app/configuration_manager.h"
#include "app/text_encoding.h"

namespace zelvane {

namespace {

const char* const kParseFailure = "Failed to parse language xml file, error code: ";

// The text of an element: its first child that is not a comment, when that child is text.
const char* ElementText(const tinyxml2::XMLElement* element) {
  for (const tinyxml2::XMLNode* child = element->FirstChild(); child != nullptr; child = child->NextSibling()) {
    if (child->ToComment() != nullptr) continue;
    const tinyxml2::XMLText* text = child->ToText();
    return text != nullptr ? text->Value() : nullptr;
  }
  return nullptr;
}

std::wstring FormatId(const char* format, int id) {
  char text[96];
  std::snprintf(text, sizeof text, format, id);
  return Utf8ToWide(text);
}

}  // namespace

LanguageManager::LanguageManager(std::shared_ptr<ConfigurationManager> config, Platform& platform,
                                 ResourceSource& resources, LocaleSource& locale)
    : config_(std::move(config)), platform_(platform), resources_(resources), locale_(locale) {}

LanguageManager::~LanguageManager() = default;

void LanguageManager::ShowMessage(const std::wstring& text) {
  platform_.ui.ShowMessageBox(text, ApplicationName(platform_.machine), mb::kOk);
}

void LanguageManager::ShowParseError(const std::string& detail) { ShowMessage(Utf8ToWide(kParseFailure + detail)); }

std::vector<int> LanguageManager::LanguageResourceIds() {
  switch (config_->wizardType) {
    case kWizardIsv:
      return {kIsvEnglishLocale, kIsvSpanishLocale};
    case kWizardDlm:
      return {kDlmEnglishLocale, kDlmSpanishLocale};
    case kWizardNone:
      ShowMessage(L"Unknown wizard type (language manager");
      return {};
    default:
      return {};
  }
}

std::wstring LanguageManager::LocaleDisplayName(const std::wstring& name) {
  if (auto native = locale_.NativeLanguageName(name)) return *native;
  if (name.size() > 2) {
    if (auto native = locale_.NativeLanguageName(name.substr(0, 2))) return *native;
  }
  return name;
}

LanguageManager::LanguageList LanguageManager::FillLanguageList() {
  const std::vector<int> ids = LanguageResourceIds();
  languageIds.clear();
  languageCodes.clear();

  LanguageList list;
  std::wstring preferred;
  if (auto userLocale = locale_.UserDefaultLocaleName()) preferred = LocaleDisplayName(*userLocale);
  if (preferred.empty()) preferred = L"English";

  for (const int id : ids) {
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadLocaleResource(id, &document)) continue;
    const tinyxml2::XMLElement* locale = document.FirstChildElement("Locale");
    if (locale == nullptr) continue;
    const char* name = locale->Attribute("name");
    if (name == nullptr) {
      ShowParseError("No name attribute");
      continue;
    }
    const std::wstring code = Utf8ToWide(name);
    const std::wstring display = LocaleDisplayName(code);
    if (display == preferred) list.selection = static_cast<int>(list.items.size());
    list.items.push_back(display);
    languageIds[display] = id;
    languageCodes[display] = code;
  }
  list.hidden = config_->brandedFlow;
  return list;
}

bool LanguageManager::LoadLocaleResource(int id, tinyxml2::XMLDocument* document) {
  std::vector<std::uint8_t> bytes;
  switch (resources_.Load(kLocaleResourceType, id, &bytes)) {
    case ResourceStatus::kOk:
      break;
    case ResourceStatus::kNotFound:
      ShowMessage(FormatId("Failed to find resource with id: %d", id));
      return false;
    case ResourceStatus::kLoadFailed:
      ShowMessage(FormatId("Failed to load resource with id: %d", id));
      return false;
  }
  document->Clear();
  if (!bytes.empty() && bytes[0] != 0) {
    const std::string text(bytes.begin(), bytes.end());  // its own terminating zero
    document->Parse(text.c_str());
  } else {
    document->Parse("", 0);
  }
  if (document->Error()) {
    ShowParseError(document->ErrorStr());
    return false;
  }
  return true;
}

bool LanguageManager::LoadTexts(tinyxml2::XMLDocument* document) {
  const tinyxml2::XMLElement* locale = document->FirstChildElement("Locale");
  if (locale == nullptr) {
    ShowParseError("No Locale element");
    return false;
  }
  texts.clear();
  texts["PRODUCT_TITLE"] = WideToUtf8(config_->productTitle);

  if (config_->brandedFlow) {
    tinyxml2::XMLDocument fragment(true, tinyxml2::PRESERVE_WHITESPACE);
    if (LoadLocaleResource(kBrandedFragment, &fragment)) {
      for (const tinyxml2::XMLElement* element = fragment.FirstChildElement(); element != nullptr;
           element = element->NextSiblingElement()) {
        const char* text = ElementText(element);
        texts[element->Name()] = text != nullptr ? text : "";
      }
    }
  }

  for (const tinyxml2::XMLElement* element = locale->FirstChildElement(); element != nullptr;
       element = element->NextSiblingElement()) {
    const char* text = ElementText(element);
    if (text == nullptr) {
      ShowParseError("No name or text attribute");
      return false;
    }
    texts[element->Name()] = text;
  }
  ResolveReferences();
  return true;
}

void LanguageManager::ResolveReferences() {
  // The text inserted for a reference is scanned again, so references inside it resolve too. Each
  // insertion is remembered as a region of the value with the key it came from; a reference inside
  // the regions of its own key (a text that refers to itself, directly or through others) or below
  // kMaxReferenceDepth regions stays as written.
  struct Region {
    size_t end;
    std::string key;
  };
  for (auto& [key, value] : texts) {
    std::vector<Region> regions{{std::string::npos, key}};
    size_t p = 0;
    while (true) {
      const size_t open = value.find('{', p);
      if (open == std::string::npos) break;
      const size_t close = value.find('}', open + 1);
      if (close == std::string::npos) break;
      while (regions.size() > 1 && regions.back().end <= open) regions.pop_back();

      const std::string name = value.substr(open + 1, close - open - 1);
      const auto found = texts.find(name);
      const bool inOwnExpansion = std::any_of(regions.begin(), regions.end(),
                                              [&](const Region& region) { return region.key == name; });
      if (found == texts.end() || inOwnExpansion || regions.size() > kMaxReferenceDepth) {
        p = close + 1;
        continue;
      }
      const std::string inserted = found->second;
      const size_t referenceLength = close - open + 1;
      value.replace(open, referenceLength, inserted);
      for (auto& region : regions) {
        if (region.end == std::string::npos) continue;
        region.end = region.end > close ? region.end - referenceLength + inserted.size() : open + inserted.size();
      }
      regions.push_back({open + inserted.size(), name});
      p = open;
    }
  }
}

bool LanguageManager::SelectLanguage(const std::wstring& displayName) {
  const auto id = languageIds.find(displayName);
  if (id == languageIds.end()) return false;
  tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
  if (!LoadLocaleResource(id->second, &document)) return false;
  (void)LoadTexts(&document);

  // A page may leave the list while it refreshes; walk a copy.
  const std::vector<LocalizedPage*> current = pages;
  for (LocalizedPage* page : current) {
    if (std::find(pages.begin(), pages.end(), page) != pages.end()) page->UpdateTexts();
  }
  config_->language = displayName;
  const auto code = languageCodes.find(displayName);
  config_->languageCode = code != languageCodes.end() ? code->second : std::wstring();
  return true;
}

std::wstring LanguageManager::GetText(const std::string& key) const {
  const auto found = texts.find(key);
  if (found == texts.end() || found->second.empty()) return std::wstring();
  std::wstring text = Utf8ToWide(found->second);
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.erase(nul);
  return text;
}

void LanguageManager::AddPage(LocalizedPage* page) { pages.push_back(page); }

void LanguageManager::RemovePage(LocalizedPage* page) { pages.erase(std::remove(pages.begin(), pages.end(), page), pages.end()); }

}  // namespace zelvane
