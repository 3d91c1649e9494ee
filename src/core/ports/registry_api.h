#pragma once
// The registry as the core sees it: Win32 semantics and error codes, portable types.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelvane {

namespace reg {
// Access rights and view flags.
constexpr std::uint32_t kRead = 0x20019;
constexpr std::uint32_t kWrite = 0x20006;
constexpr std::uint32_t kSetValue = 0x0002;
constexpr std::uint32_t kWow64_64Key = 0x0100;
constexpr std::uint32_t kWow64_32Key = 0x0200;
// Value types.
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kSz = 1;
constexpr std::uint32_t kExpandSz = 2;
constexpr std::uint32_t kBinary = 3;
constexpr std::uint32_t kDword = 4;
constexpr std::uint32_t kMultiSz = 7;
constexpr std::uint32_t kQword = 11;
// Error codes.
constexpr long kSuccess = 0;
constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kInvalidHandle = 6;
constexpr long kMoreData = 234;

// Used by the offer checks' registry layer.
constexpr long kNoMoreItems = 259;
constexpr long kUnsupportedType = 1630;
// RegGetValueW type restrictions.
constexpr std::uint32_t kRrfRegNone = 0x0001;
constexpr std::uint32_t kRrfRegSz = 0x0002;
constexpr std::uint32_t kRrfRegExpandSz = 0x0004;
constexpr std::uint32_t kRrfRegBinary = 0x0008;
constexpr std::uint32_t kRrfRegDword = 0x0010;
constexpr std::uint32_t kRrfRegMultiSz = 0x0020;
constexpr std::uint32_t kRrfRegQword = 0x0040;
constexpr std::uint32_t kRrfAny = 0xFFFF;
}  // namespace reg

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// An open key; 0 is no key.
using RegHandle = std::uintptr_t;

struct RegValue {
  std::uint32_t type = reg::kNone;
  std::vector<std::uint8_t> data;
};

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  virtual long OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) = 0;
  virtual void CloseKey(RegHandle key) = 0;
  // The narrow form: string data comes back in the ANSI code page. At most `capacity` bytes are
  // returned; larger data fails with kMoreData.
  virtual long QueryValueA(RegHandle key, const std::string& name, std::size_t capacity, RegValue* value) = 0;

  // --- Wide reads of the offer checks' registry layer ---
  // Opens `subKey` below an open key.
  virtual long OpenSubKey(RegHandle parent, const std::wstring& subKey, std::uint32_t access, RegHandle* key) = 0;
  // RegGetValueW: `flags` are the reg::kRrf* type restrictions. With `data` null only the size is
  // reported. String data is an array of wchar_t ending in a zero that the call adds when the stored
  // text lacks it; `bytes` counts bytes. A type outside the restriction fails with kUnsupportedType,
  // a buffer that is too small with kMoreData (and the size needed in `bytes`).
  virtual long GetValueW(RegHandle key, const std::wstring& subKey, const std::wstring& name, std::uint32_t flags,
                         std::uint32_t* type, void* data, std::uint32_t* bytes) = 0;
  // RegQueryValueExW asking for the type alone.
  virtual long QueryValueTypeW(RegHandle key, const std::wstring& name, std::uint32_t* type) = 0;
  // RegQueryInfoKeyW: the number of direct subkeys and the length of the longest name in characters.
  virtual long QueryKeyInfo(RegHandle key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyChars) = 0;
  // RegEnumKeyExW: the name of subkey `index` into a buffer of `capacity` characters with its zero;
  // a longer name fails with kMoreData, an index past the end with kNoMoreItems.
  virtual long EnumKeyW(RegHandle key, std::uint32_t index, std::uint32_t capacity, std::wstring* name) = 0;
  // Opens the key, creating it (and any missing parent) as a non-volatile key without a class.
  virtual long CreateKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) = 0;
  virtual long SetValue(RegHandle key, const std::wstring& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) = 0;
};

// Closes the key it holds on every path.
class RegKey {
 public:
  explicit RegKey(RegistryApi& api) : api_(api) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_ != 0) api_.CloseKey(key_);
  }

  [[nodiscard]] long Open(RegRoot root, const std::wstring& subKey, std::uint32_t access) {
    return api_.OpenKey(root, subKey, access, &key_);
  }
  [[nodiscard]] long Create(RegRoot root, const std::wstring& subKey, std::uint32_t access) {
    return api_.CreateKey(root, subKey, access, &key_);
  }
  RegHandle get() const { return key_; }

 private:
  RegistryApi& api_;
  RegHandle key_ = 0;
};

}  // namespace zelvane
