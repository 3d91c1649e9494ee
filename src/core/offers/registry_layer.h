#pragma once
// Registry locations written as text, as the offer rules give them: a hive name ("hkey_local_machine"
// or "hklm"), a path and sometimes a value name, or a path below the "software" keys of the machine
// and the user. The layer turns such text into keys, chooses the registry view and reads keys and
// values. All matching against the hive tables is exact, so callers lower-case rule text first.
//
// The shipped program is a 32-bit process; on 64-bit Windows its default view is the 32-bit one.
// Every open names its view explicitly (KEY_WOW64_32KEY where the 32-bit process would use its
// default), so that a 64-bit build reads exactly what the 32-bit program reads.

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "ports/machine.h"
#include "ports/registry_api.h"

namespace zelvane {

namespace win32 {

// A failed registry call of the layer: a fixed message and the Windows error code of the call.
class RegistryError : public std::runtime_error {
 public:
  RegistryError(const char* message, long code) : std::runtime_error(message), code_(code) {}
  long code() const noexcept { return code_; }

 private:
  long code_;
};

}  // namespace win32

// An open key of the layer; closed when it goes out of scope.
class OpenedKey {
 public:
  OpenedKey(RegistryApi& api, RegHandle key) : api_(&api), key_(key) {}
  OpenedKey(OpenedKey&& other) noexcept : api_(other.api_), key_(other.key_) { other.key_ = 0; }
  OpenedKey& operator=(OpenedKey&&) = delete;
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() {
    if (key_ != 0) api_->CloseKey(key_);
  }
  RegHandle get() const { return key_; }

 private:
  RegistryApi* api_;
  RegHandle key_;
};

class RegistryLayer {
 public:
  RegistryLayer(RegistryApi& api, Machine& machine) : api_(api), machine_(machine) {}

  // Candidate full key paths of a key rule: the rule itself when it starts with a full hive name
  // and "\", the full name in place of an abbreviation, otherwise the rule below each software
  // prefix (and, on 64-bit Windows, below each 32-bit software prefix too). Empty for "".
  std::vector<std::wstring> ExpandKeyRule(const std::wstring& rule);

  // Whether the key of a full path exists. Software paths are first looked up in the cached list of
  // the software key's subkeys (per hive and view), so missing vendors cost no open.
  bool KeyExists(const std::wstring& path);

  // For a software path: on 64-bit Windows drops "wow6432node\" (the 32-bit view holds that data)
  // or adds KEY_WOW64_64KEY to `access`; false when a "wow6432node" path cannot exist (32-bit
  // Windows). Other paths are left alone. A software path of fewer than three parts throws
  // std::out_of_range.
  [[nodiscard]] bool SelectView(std::wstring& path, std::uint32_t& access);

  // Opens a full key path; throws RegistryError.
  OpenedKey OpenKey(const std::wstring& path, std::uint32_t access);
  // Opens `subKey` of a hive; throws RegistryError.
  OpenedKey OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access);

  bool ValueExists(RegHandle key, const std::wstring& valueName);
  // The value's type; 0 when it cannot be queried.
  std::uint32_t GetValueType(RegHandle key, const std::wstring& valueName);
  // Whether the value's data is `expected`: lower-cased text for REG_SZ, the decimal number for
  // REG_DWORD and REG_QWORD (a failed read throws RegistryError, a text that is not a number the
  // conversion error); never for other types.
  bool ValueDataMatches(RegHandle key, const std::wstring& valueName, std::uint32_t type,
                        const std::wstring& expected);
  // A REG_SZ value without its terminating zero; throws RegistryError.
  std::wstring ReadString(RegHandle key, const std::wstring& subKey, const std::wstring& valueName);
  // The lower-cased names of the key's direct subkeys in index order; throws RegistryError.
  std::vector<std::wstring> EnumSubKeys(RegHandle key);

  // A REG_SZ, REG_DWORD or REG_QWORD value as text (numbers in unsigned decimal), from the key and,
  // on 64-bit Windows for a subkey starting with "software", from its 32-bit copy as well.
  [[nodiscard]] bool ReadValueText(const std::wstring& hiveName, const std::wstring& subKey,
                                   const std::wstring& valueName, std::wstring& text);

  // Whether this is 64-bit Windows; asked of the machine once.
  bool Is64BitWindows();
  // `access` with the view this 32-bit program would use by default, when it names none.
  std::uint32_t WithDefaultView(std::uint32_t access);
  // The hive of a full hive name; throws std::out_of_range for any other name.
  static RegRoot HiveRoot(const std::wstring& fullName);
  RegistryApi& api() { return api_; }

 private:
  using SoftwareKeyId = std::tuple<RegRoot, std::uint32_t, std::wstring>;

  RegistryApi& api_;
  Machine& machine_;
  std::optional<bool> is64Bit_;
  // Lower-cased direct subkeys of each software key, by hive, view flags and key name.
  std::map<SoftwareKeyId, std::vector<std::wstring>> softwareSubKeys_;
};

// Text helpers shared by the offer rules.
std::wstring LowerCase(std::wstring text);
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
// Parts between "\"; a trailing "\" gives no empty last part.
std::vector<std::wstring> SplitPath(const std::wstring& path);

}  // namespace zelvane
