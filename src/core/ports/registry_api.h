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
}  // namespace reg

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

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
