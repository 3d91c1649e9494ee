#pragma once
// The program's own resources and the user's locale, as the localisation code reads them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelvane {

enum class ResourceStatus {
  kOk,
  kNotFound,    // no resource of that type and id
  kLoadFailed,  // found, but it could not be loaded
};

class ResourceSource {
 public:
  virtual ~ResourceSource() = default;
  // The bytes of the resource `id` of type `type` in the running program.
  [[nodiscard]] virtual ResourceStatus Load(const std::wstring& type, int id, std::vector<std::uint8_t>* bytes) = 0;
};

class LocaleSource {
 public:
  virtual ~LocaleSource() = default;
  // The user's default locale name ("en-US"); nothing when the system cannot say.
  virtual std::optional<std::wstring> UserDefaultLocaleName() = 0;
  // The native name of the locale's language ("English", "español"); nothing when the system does
  // not know the locale name.
  virtual std::optional<std::wstring> NativeLanguageName(const std::wstring& localeName) = 0;
};

}  // namespace zelvane
