#include "app/system_resources.h"

#include <windows.h>

#include "app/configuration_manager.h"

namespace zelvane::win32 {

namespace {
constexpr int kLocaleNameCapacity = 85;
}

ResourceStatus SystemResources::Load(const std::wstring& type, int id, std::vector<std::uint8_t>* bytes) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), type.c_str());
  if (resource == nullptr) return ResourceStatus::kNotFound;
  HGLOBAL loaded = ::LoadResource(module, resource);
  if (loaded == nullptr) return ResourceStatus::kLoadFailed;
  const auto* data = static_cast<const std::uint8_t*>(::LockResource(loaded));
  const DWORD size = ::SizeofResource(module, resource);
  if (data == nullptr && size != 0) return ResourceStatus::kLoadFailed;
  bytes->assign(data, data + size);
  return ResourceStatus::kOk;
}

std::optional<std::wstring> SystemLocale::UserDefaultLocaleName() {
  wchar_t name[kLocaleNameCapacity] = {};
  if (::GetUserDefaultLocaleName(name, kLocaleNameCapacity) == 0) return std::nullopt;
  return std::wstring(name);
}

std::optional<std::wstring> SystemLocale::NativeLanguageName(const std::wstring& localeName) {
  wchar_t name[kLocaleNameCapacity] = {};
  if (::GetLocaleInfoEx(localeName.c_str(), LOCALE_SNATIVELANGUAGENAME, name, kLocaleNameCapacity) == 0) {
    return std::nullopt;
  }
  return std::wstring(name);
}

std::shared_ptr<LanguageManager> CreateLanguageManager() {
  static SystemResources resources;
  static SystemLocale locale;
  return std::make_shared<LanguageManager>(ConfigurationManager::Instance(), SystemPlatform(), resources, locale);
}

}  // namespace zelvane::win32
