#include "offers/registry_layer.h"

#include <cwchar>
#include <cwctype>
#include <unordered_map>

#include "app/text_encoding.h"
#include "offers/standard_conversions.h"

namespace zelvane {

namespace {

using win32::RegistryError;

const wchar_t* const kFullHiveNames[] = {L"hkey_local_machine", L"hkey_current_user", L"hkey_classes_root",
                                         L"hkey_users", L"hkey_current_config"};
// In ascending order of the abbreviation.
const std::pair<const wchar_t*, const wchar_t*> kHiveAbbreviations[] = {
    {L"hkcc", L"hkey_current_config"}, {L"hkcr", L"hkey_classes_root"}, {L"hkcu", L"hkey_current_user"},
    {L"hklm", L"hkey_local_machine"},  {L"hku", L"hkey_users"},
};
const wchar_t* const kSoftwarePrefixes[] = {L"hkey_local_machine\\software\\", L"hkey_current_user\\software\\"};
const wchar_t* const kSoftware32Prefixes[] = {L"hkey_local_machine\\software\\wow6432node\\",
                                              L"hkey_current_user\\software\\wow6432node\\"};

const std::unordered_map<std::wstring, RegRoot>& HiveRoots() {
  static const std::unordered_map<std::wstring, RegRoot> roots{
      {L"hkey_local_machine", RegRoot::LocalMachine}, {L"hkey_current_user", RegRoot::CurrentUser},
      {L"hkey_classes_root", RegRoot::ClassesRoot},   {L"hkey_users", RegRoot::Users},
      {L"hkey_current_config", RegRoot::CurrentConfig},
  };
  return roots;
}

const wchar_t* SoftwarePrefixOf(const std::wstring& path) {
  for (const wchar_t* prefix : kSoftwarePrefixes) {
    if (StartsWith(path, prefix)) return prefix;
  }
  return nullptr;
}

}  // namespace

std::wstring LowerCase(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::size_t begin = 0;
  while (begin < path.size()) {
    const std::size_t end = path.find(L'\\', begin);
    if (end == std::wstring::npos) {
      parts.push_back(path.substr(begin));
      break;
    }
    parts.push_back(path.substr(begin, end - begin));
    begin = end + 1;
  }
  return parts;
}

bool RegistryLayer::Is64BitWindows() {
  if (!is64Bit_) is64Bit_ = machine_.IsWow64();
  return *is64Bit_;
}

std::uint32_t RegistryLayer::WithDefaultView(std::uint32_t access) {
  if ((access & (reg::kWow64_32Key | reg::kWow64_64Key)) != 0 || !Is64BitWindows()) return access;
  return access | reg::kWow64_32Key;
}

RegRoot RegistryLayer::HiveRoot(const std::wstring& fullName) {
  const auto& roots = HiveRoots();
  const auto it = roots.find(fullName);
  if (it == roots.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
  return it->second;
}

std::vector<std::wstring> RegistryLayer::ExpandKeyRule(const std::wstring& rule) {
  if (rule.empty()) return {};
  if (StartsWith(rule, L"hk")) {
    if (StartsWith(rule, L"hkey")) {
      for (const wchar_t* name : kFullHiveNames) {
        if (StartsWith(rule, std::wstring(name) + L"\\")) return {rule};
      }
    }
    for (const auto& [abbreviation, name] : kHiveAbbreviations) {
      const std::wstring shortName = abbreviation;
      if (StartsWith(rule, shortName + L"\\")) return {name + rule.substr(shortName.size())};
    }
  }
  std::vector<std::wstring> candidates;
  for (const wchar_t* prefix : kSoftwarePrefixes) candidates.push_back(prefix + rule);
  if (Is64BitWindows()) {
    for (const wchar_t* prefix : kSoftware32Prefixes) candidates.push_back(prefix + rule);
  }
  return candidates;
}

bool RegistryLayer::SelectView(std::wstring& path, std::uint32_t& access) {
  if (SoftwarePrefixOf(path) == nullptr) return true;
  const auto parts = SplitPath(path);
  if (parts.size() < 3) throw std::out_of_range("invalid vector subscript");
  if (parts[2] == L"wow6432node") {
    if (!Is64BitWindows()) return false;
    const std::wstring node = L"wow6432node\\";
    const auto at = path.find(node);
    if (at != std::wstring::npos) path.erase(at, node.size());
    return true;
  }
  if (Is64BitWindows()) access |= reg::kWow64_64Key;
  return true;
}

bool RegistryLayer::KeyExists(const std::wstring& path) {
  if (const wchar_t* prefix = SoftwarePrefixOf(path)) {
    std::wstring copy = path;
    std::uint32_t access = 0;
    if (!SelectView(copy, access)) return false;
    const auto parts = SplitPath(copy);
    if (parts.size() < 2) return false;
    const RegRoot root = HiveRoot(parts[0]);
    const std::wstring& softwareKey = parts[1];

    const SoftwareKeyId id{root, access, softwareKey};
    auto cached = softwareSubKeys_.find(id);
    if (cached == softwareSubKeys_.end()) {
      try {
        const OpenedKey key = OpenKey(root, softwareKey, access | reg::kRead);
        cached = softwareSubKeys_.emplace(id, EnumSubKeys(key.get())).first;
      } catch (const RegistryError&) {
        return false;
      }
    }
    // The prefix is the same text before and after SelectView ("wow6432node\" follows it).
    const std::wstring rest = copy.substr(std::wcslen(prefix));
    const std::wstring first = rest.substr(0, rest.find(L'\\'));
    bool listed = false;
    for (const auto& name : cached->second) listed = listed || name == first;
    if (!listed) return false;

    try {
      const OpenedKey software = OpenKey(root, softwareKey, access | reg::kRead);
      RegHandle below = 0;
      const long status = api_.OpenSubKey(software.get(), rest, WithDefaultView(access | reg::kRead), &below);
      if (status != reg::kSuccess) throw RegistryError("Cannot open registry key: RegOpenKeyEx failed.", status);
      const OpenedKey closeBelow(api_, below);
      return true;
    } catch (const RegistryError&) {
      return false;
    }
  }

  const auto separator = path.find(L'\\');
  const RegRoot root = HiveRoot(path.substr(0, separator));
  const std::wstring subKey = separator == std::wstring::npos ? L"" : path.substr(separator + 1);
  RegHandle key = 0;
  if (api_.OpenKey(root, subKey, WithDefaultView(reg::kRead), &key) != reg::kSuccess) return false;
  api_.CloseKey(key);
  return true;
}

OpenedKey RegistryLayer::OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access) {
  RegHandle key = 0;
  const long status = api_.OpenKey(root, subKey, WithDefaultView(access), &key);
  if (status != reg::kSuccess) throw RegistryError("Cannot open registry key: RegOpenKeyEx failed.", status);
  return OpenedKey(api_, key);
}

OpenedKey RegistryLayer::OpenKey(const std::wstring& path, std::uint32_t access) {
  const auto separator = path.find(L'\\');
  const RegRoot root = HiveRoot(path.substr(0, separator));
  return OpenKey(root, separator == std::wstring::npos ? L"" : path.substr(separator + 1), access);
}

bool RegistryLayer::ValueExists(RegHandle key, const std::wstring& valueName) {
  return api_.GetValueW(key, L"", valueName, reg::kRrfAny, nullptr, nullptr, nullptr) == reg::kSuccess;
}

std::uint32_t RegistryLayer::GetValueType(RegHandle key, const std::wstring& valueName) {
  std::uint32_t type = 0;
  if (api_.QueryValueTypeW(key, valueName, &type) != reg::kSuccess) return 0;
  return type;
}

namespace {

template <typename Number>
bool ReadNumber(RegistryApi& api, RegHandle key, const std::wstring& valueName, Number* value) {
  std::uint32_t size = sizeof(Number);
  const std::uint32_t flags = sizeof(Number) == 4 ? reg::kRrfRegDword : reg::kRrfRegQword;
  return api.GetValueW(key, L"", valueName, flags, nullptr, value, &size) == reg::kSuccess;
}

}  // namespace

bool RegistryLayer::ValueDataMatches(RegHandle key, const std::wstring& valueName, std::uint32_t type,
                                     const std::wstring& expected) {
  switch (type) {
    case reg::kSz:
      return LowerCase(ReadString(key, L"", valueName)) == expected;
    case reg::kDword: {
      std::uint32_t value = 0;
      std::uint32_t size = sizeof value;
      const long status = api_.GetValueW(key, L"", valueName, reg::kRrfRegDword, nullptr, &value, &size);
      if (status != reg::kSuccess) throw RegistryError("Cannot read DWORD from registry.", status);
      return value == StoulText(expected);
    }
    case reg::kQword: {
      std::uint64_t value = 0;
      std::uint32_t size = sizeof value;
      const long status = api_.GetValueW(key, L"", valueName, reg::kRrfRegQword, nullptr, &value, &size);
      if (status != reg::kSuccess) throw RegistryError("Cannot read QWORD from registry.", status);
      return value == StoullText(expected);
    }
    default:
      return false;
  }
}

std::wstring RegistryLayer::ReadString(RegHandle key, const std::wstring& subKey, const std::wstring& valueName) {
  std::uint32_t size = 0;
  long status = api_.GetValueW(key, subKey, valueName, reg::kRrfRegSz, nullptr, nullptr, &size);
  if (status != reg::kSuccess) throw RegistryError("Cannot read string from registry", status);
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<std::uint32_t>((buffer.size() - 1) * sizeof(wchar_t));
  status = api_.GetValueW(key, subKey, valueName, reg::kRrfRegSz, nullptr, buffer.data(), &size);
  if (status != reg::kSuccess) throw RegistryError("Cannot read string from registry", status);
  const std::size_t characters = size / sizeof(wchar_t);
  return std::wstring(buffer.data(), characters > 0 ? characters - 1 : 0);
}

std::vector<std::wstring> RegistryLayer::EnumSubKeys(RegHandle key) {
  std::uint32_t count = 0;
  std::uint32_t longest = 0;
  long status = api_.QueryKeyInfo(key, &count, &longest);
  if (status != reg::kSuccess) {
    throw RegistryError("RegQueryInfoKey failed while preparing for subkey enumeration.", status);
  }
  std::vector<std::wstring> names;
  names.reserve(count);
  for (std::uint32_t index = 0; index < count; ++index) {
    std::wstring name;
    status = api_.EnumKeyW(key, index, longest + 1, &name);
    if (status != reg::kSuccess) throw RegistryError("Cannot enumerate subkeys: RegEnumKeyEx failed.", status);
    names.push_back(LowerCase(std::move(name)));
  }
  return names;
}

bool RegistryLayer::ReadValueText(const std::wstring& hiveName, const std::wstring& subKey,
                                  const std::wstring& valueName, std::wstring& text) {
  std::vector<std::wstring> candidates{hiveName + L"\\" + subKey};
  if (Is64BitWindows() && StartsWith(subKey, L"software")) {
    candidates.push_back(hiveName + L"\\" + subKey.substr(0, 8) + L"\\wow6432node" + subKey.substr(8));
  }
  for (auto& candidate : candidates) {
    if (!KeyExists(candidate)) continue;
    std::uint32_t access = reg::kRead;
    if (!SelectView(candidate, access)) continue;
    try {
      const OpenedKey key = OpenKey(candidate, access);
      if (!ValueExists(key.get(), valueName)) continue;
      switch (GetValueType(key.get(), valueName)) {
        case reg::kSz:
          text = ReadString(key.get(), L"", valueName);
          return true;
        case reg::kDword: {
          std::uint32_t value = 0;
          if (!ReadNumber(api_, key.get(), valueName, &value)) continue;
          text = DecimalText(value);
          return true;
        }
        case reg::kQword: {
          std::uint64_t value = 0;
          if (!ReadNumber(api_, key.get(), valueName, &value)) continue;
          text = DecimalText(value);
          return true;
        }
        default:
          continue;
      }
    } catch (const RegistryError&) {
      continue;
    }
  }
  return false;
}

}  // namespace zelvane
