#pragma once
// The Windows adapters behind the localisation ports: this program's resources and the user's
// locale.

#include <memory>

#include "localisation/language_manager.h"
#include "ports/resources.h"

namespace zelvane::win32 {

class SystemResources : public ResourceSource {
 public:
  [[nodiscard]] ResourceStatus Load(const std::wstring& type, int id, std::vector<std::uint8_t>* bytes) override;
};

class SystemLocale : public LocaleSource {
 public:
  std::optional<std::wstring> UserDefaultLocaleName() override;
  std::optional<std::wstring> NativeLanguageName(const std::wstring& localeName) override;
};

// A language manager for this program's record, resources and locale (one per wizard).
std::shared_ptr<LanguageManager> CreateLanguageManager();

}  // namespace zelvane::win32
