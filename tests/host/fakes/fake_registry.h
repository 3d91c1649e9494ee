#pragma once
#include <map>
#include <mutex>
#include <vector>
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

  // --- Wide reads of the offer checks' registry layer ---
  // Values for the wide reads live apart from the narrow ones above: a test sets each value the way
  // the code under test reads it. String data is stored as wchar_t units; `terminate` adds the zero.
  void SetW(RegRoot root, const std::wstring& keyPath, const std::wstring& name, std::uint32_t type,
            std::vector<std::uint8_t> data);
  void SetTextW(RegRoot root, const std::wstring& keyPath, const std::wstring& name, const std::wstring& text,
                std::uint32_t type = reg::kSz, bool terminate = true);
  void SetDwordW(RegRoot root, const std::wstring& keyPath, const std::wstring& name, std::uint32_t value);
  void SetQwordW(RegRoot root, const std::wstring& keyPath, const std::wstring& name, std::uint64_t value);
  // Keys are created with their parents; subkeys keep the case they were created with.
  // Counts of calls, to prove what the layer caches.
  int opens() const;
  int keyInfoQueries() const;

  long OpenSubKey(RegHandle parent, const std::wstring& subKey, std::uint32_t access, RegHandle* key) override;
  long GetValueW(RegHandle key, const std::wstring& subKey, const std::wstring& name, std::uint32_t flags,
                 std::uint32_t* type, void* data, std::uint32_t* bytes) override;
  long QueryValueTypeW(RegHandle key, const std::wstring& name, std::uint32_t* type) override;
  long QueryKeyInfo(RegHandle key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyChars) override;
  long EnumKeyW(RegHandle key, std::uint32_t index, std::uint32_t capacity, std::wstring* name) override;

 private:
  using KeyId = std::pair<RegRoot, std::wstring>;  // root and lower-cased 64-bit-view path
  struct Key {
    std::map<std::string, RegValue> values;
    std::wstring name;                             // last part of the path as created
    std::map<std::wstring, RegValue> wideValues;  // by lower-cased name
  };
  Key& Ensure(RegRoot root, const std::wstring& keyPath);  // with the mutex held
  std::vector<const Key*> Children(const KeyId& id) const;
  int opens_ = 0;
  int keyInfoQueries_ = 0;
  static std::wstring Lower(std::wstring text);
  std::wstring Resolve(RegRoot root, const std::wstring& subKey, std::uint32_t access) const;

  mutable std::mutex mutex_;
  std::map<KeyId, Key> keys_;
  std::map<RegHandle, KeyId> open_;
  RegHandle next_ = 0x100;
};

}  // namespace zelvane::testing
