#pragma once
#include <map>
#include <mutex>
#include <optional>

#include "ports/registry_api.h"

namespace zelvane::testing {

// An in-memory registry with both views of HKEY_LOCAL_MACHINE\Software: a 32-bit process on 64-bit
// Windows (`wow64`) is redirected to Software\Wow6432Node unless it asks for the 64-bit view.
// Key paths are case-insensitive, as in Windows.
class FakeRegistry : public RegistryApi {
 public:
  bool wow64 = true;

  // Stores a value at the key path as the 64-bit view names it ("SOFTWARE\Wow6432Node\..." for 32-bit).
  void Set(RegRoot root, const std::wstring& keyPath, const std::string& name, std::uint32_t type,
           std::vector<std::uint8_t> data);
  void SetString(RegRoot root, const std::wstring& keyPath, const std::string& name, const std::string& text);
  void AddKey(RegRoot root, const std::wstring& keyPath);

  long OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override;
  void CloseKey(RegHandle key) override;
  long QueryValueA(RegHandle key, const std::string& name, std::size_t capacity, RegValue* value) override;

  long CreateKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override;
  long SetValue(RegHandle key, const std::wstring& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override;

  // The value at the key path as the 64-bit view names it; nothing when key or value is missing.
  std::optional<RegValue> Get(RegRoot root, const std::wstring& keyPath, const std::string& name) const;
  bool HasKey(RegRoot root, const std::wstring& keyPath) const;
  int openKeys() const;
  // Makes CreateKey fail with this code (for example kAccessDenied without administrator rights).
  long createKeyError = reg::kSuccess;

 private:
  using KeyId = std::pair<RegRoot, std::wstring>;  // root and lower-cased 64-bit-view path
  struct Key {
    std::map<std::string, RegValue> values;
  };
  static std::wstring Lower(std::wstring text);
  std::wstring Resolve(RegRoot root, const std::wstring& subKey, std::uint32_t access) const;

  mutable std::mutex mutex_;
  std::map<KeyId, Key> keys_;
  std::map<RegHandle, KeyId> open_;
  RegHandle next_ = 0x100;
};

}  // namespace zelvane::testing
