#include "fakes/fake_registry.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace zelvane::testing {

std::wstring FakeRegistry::Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring FakeRegistry::Resolve(RegRoot root, const std::wstring& subKey, std::uint32_t access) const {
  std::wstring path = Lower(subKey);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  const std::wstring software = L"software";
  const bool underSoftware =
      path.compare(0, software.size(), software) == 0 && (path.size() == software.size() || path[software.size()] == L'\\');
  const bool view32 = (access & reg::kWow64_32Key) != 0 || (wow64 && (access & reg::kWow64_64Key) == 0);
  if (root == RegRoot::LocalMachine && underSoftware && view32 && path.compare(0, 21, L"software\\wow6432node") != 0) {
    path.insert(software.size(), L"\\wow6432node");
  }
  return path;
}

void FakeRegistry::AddKey(RegRoot root, const std::wstring& keyPath) {
  std::lock_guard<std::mutex> lock(mutex_);
  Ensure(root, keyPath);
}

void FakeRegistry::Set(RegRoot root, const std::wstring& keyPath, const std::string& name, std::uint32_t type,
                       std::vector<std::uint8_t> data) {
  std::lock_guard<std::mutex> lock(mutex_);
  Ensure(root, keyPath).values[name] = RegValue{type, std::move(data)};
}

void FakeRegistry::SetString(RegRoot root, const std::wstring& keyPath, const std::string& name,
                             const std::string& text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  Set(root, keyPath, name, reg::kSz, std::move(data));
}

long FakeRegistry::OpenKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) {
  std::lock_guard<std::mutex> lock(mutex_);
  *key = 0;
  ++opens_;
  KeyId id{root, Resolve(root, subKey, access)};
  if (keys_.count(id) == 0) return reg::kFileNotFound;
  *key = next_++;
  open_[*key] = id;
  return reg::kSuccess;
}

void FakeRegistry::CloseKey(RegHandle key) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.erase(key);
}

long FakeRegistry::QueryValueA(RegHandle key, const std::string& name, std::size_t capacity, RegValue* value) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto open = open_.find(key);
  if (open == open_.end()) return reg::kInvalidHandle;
  const auto& values = keys_[open->second].values;
  const auto it = values.find(name);
  if (it == values.end()) return reg::kFileNotFound;
  if (it->second.data.size() > capacity) return reg::kMoreData;
  *value = it->second;
  return reg::kSuccess;
}

long FakeRegistry::CreateKey(RegRoot root, const std::wstring& subKey, std::uint32_t access, RegHandle* key) {
  std::lock_guard<std::mutex> lock(mutex_);
  *key = 0;
  if (createKeyError != reg::kSuccess) return createKeyError;
  KeyId id{root, Resolve(root, subKey, access)};
  keys_[id];
  *key = next_++;
  open_[*key] = id;
  return reg::kSuccess;
}

long FakeRegistry::SetValue(RegHandle key, const std::wstring& name, std::uint32_t type,
                            const std::vector<std::uint8_t>& data) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto open = open_.find(key);
  if (open == open_.end()) return reg::kInvalidHandle;
  std::string narrow;
  for (const wchar_t c : name) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  keys_[open->second].values[narrow] = RegValue{type, data};
  return reg::kSuccess;
}

std::optional<RegValue> FakeRegistry::Get(RegRoot root, const std::wstring& keyPath, const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto key = keys_.find({root, Lower(keyPath)});
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.values.find(name);
  if (value == key->second.values.end()) return std::nullopt;
  return value->second;
}

bool FakeRegistry::HasKey(RegRoot root, const std::wstring& keyPath) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return keys_.count({root, Lower(keyPath)}) != 0;
}

int FakeRegistry::openKeys() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(open_.size());
}

// --- Wide reads of the offer checks' registry layer ---

FakeRegistry::Key& FakeRegistry::Ensure(RegRoot root, const std::wstring& keyPath) {
  std::wstring path = keyPath;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  Key* key = nullptr;
  for (std::size_t end = 0; end != std::wstring::npos;) {
    end = path.find(L'\\', end + 1);
    const std::wstring prefix = path.substr(0, end);
    key = &keys_[{root, Lower(prefix)}];
    key->name = prefix.substr(prefix.rfind(L'\\') + 1);
  }
  return *key;
}

std::vector<const FakeRegistry::Key*> FakeRegistry::Children(const KeyId& id) const {
  std::vector<const Key*> children;
  const std::wstring prefix = id.second + L"\\";
  for (auto it = keys_.lower_bound({id.first, prefix}); it != keys_.end() && it->first.first == id.first; ++it) {
    const std::wstring& path = it->first.second;
    if (path.compare(0, prefix.size(), prefix) != 0) break;
    if (path.find(L'\\', prefix.size()) == std::wstring::npos) children.push_back(&it->second);
  }
  return children;
}

void FakeRegistry::SetW(RegRoot root, const std::wstring& keyPath, const std::wstring& name, std::uint32_t type,
                        std::vector<std::uint8_t> data) {
  std::lock_guard<std::mutex> lock(mutex_);
  Ensure(root, keyPath).wideValues[Lower(name)] = RegValue{type, std::move(data)};
}

void FakeRegistry::SetTextW(RegRoot root, const std::wstring& keyPath, const std::wstring& name,
                            const std::wstring& text, std::uint32_t type, bool terminate) {
  const std::size_t units = text.size() + (terminate ? 1 : 0);
  std::vector<std::uint8_t> data(units * sizeof(wchar_t), 0);
  std::memcpy(data.data(), text.c_str(), units * sizeof(wchar_t));
  SetW(root, keyPath, name, type, std::move(data));
}

void FakeRegistry::SetDwordW(RegRoot root, const std::wstring& keyPath, const std::wstring& name,
                             std::uint32_t value) {
  std::vector<std::uint8_t> data(4);
  std::memcpy(data.data(), &value, 4);
  SetW(root, keyPath, name, reg::kDword, std::move(data));
}

void FakeRegistry::SetQwordW(RegRoot root, const std::wstring& keyPath, const std::wstring& name,
                             std::uint64_t value) {
  std::vector<std::uint8_t> data(8);
  std::memcpy(data.data(), &value, 8);
  SetW(root, keyPath, name, reg::kQword, std::move(data));
}

int FakeRegistry::opens() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opens_;
}

int FakeRegistry::keyInfoQueries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return keyInfoQueries_;
}

long FakeRegistry::OpenSubKey(RegHandle parent, const std::wstring& subKey, std::uint32_t, RegHandle* key) {
  std::lock_guard<std::mutex> lock(mutex_);
  *key = 0;
  ++opens_;
  const auto open = open_.find(parent);
  if (open == open_.end()) return reg::kInvalidHandle;
  std::wstring path = Lower(subKey);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  KeyId id{open->second.first, path.empty() ? open->second.second : open->second.second + L"\\" + path};
  if (keys_.count(id) == 0) return reg::kFileNotFound;
  *key = next_++;
  open_[*key] = id;
  return reg::kSuccess;
}

long FakeRegistry::GetValueW(RegHandle key, const std::wstring& subKey, const std::wstring& name,
                             std::uint32_t flags, std::uint32_t* type, void* data, std::uint32_t* bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto open = open_.find(key);
  if (open == open_.end()) return reg::kInvalidHandle;
  KeyId id = open->second;
  if (!subKey.empty()) id.second += L"\\" + Lower(subKey);
  const auto found = keys_.find(id);
  if (found == keys_.end()) return reg::kFileNotFound;
  const auto it = found->second.wideValues.find(Lower(name));
  if (it == found->second.wideValues.end()) return reg::kFileNotFound;

  // As Windows does: an expandable string comes back as a plain one (nothing to expand here), and
  // string data always ends in a zero.
  std::uint32_t actual = it->second.type == reg::kExpandSz ? reg::kSz : it->second.type;
  std::vector<std::uint8_t> value = it->second.data;
  const std::uint32_t restriction = actual == reg::kQword ? reg::kRrfRegQword : actual <= 7 ? 1u << actual : 0;
  if ((flags & restriction) == 0) return reg::kUnsupportedType;
  if (actual == reg::kSz || actual == reg::kMultiSz) {
    value.resize(value.size() / sizeof(wchar_t) * sizeof(wchar_t));
    wchar_t last = 1;
    if (!value.empty()) std::memcpy(&last, value.data() + value.size() - sizeof(wchar_t), sizeof(wchar_t));
    if (last != 0) value.resize(value.size() + sizeof(wchar_t), 0);
  }
  if ((actual == reg::kDword && value.size() != 4) || (actual == reg::kQword && value.size() != 8)) return 13;
  if (type != nullptr) *type = actual;
  const std::uint32_t capacity = bytes != nullptr ? *bytes : 0;
  if (bytes != nullptr) *bytes = static_cast<std::uint32_t>(value.size());
  if (data == nullptr) return reg::kSuccess;
  if (capacity < value.size()) return reg::kMoreData;
  if (!value.empty()) std::memcpy(data, value.data(), value.size());
  return reg::kSuccess;
}

long FakeRegistry::QueryValueTypeW(RegHandle key, const std::wstring& name, std::uint32_t* type) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto open = open_.find(key);
  if (open == open_.end()) return reg::kInvalidHandle;
  const auto& values = keys_[open->second].wideValues;
  const auto it = values.find(Lower(name));
  if (it == values.end()) return reg::kFileNotFound;
  *type = it->second.type;
  return reg::kSuccess;
}

long FakeRegistry::QueryKeyInfo(RegHandle key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyChars) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++keyInfoQueries_;
  const auto open = open_.find(key);
  if (open == open_.end()) return reg::kInvalidHandle;
  const auto children = Children(open->second);
  std::size_t longest = 0;
  for (const Key* child : children) longest = std::max(longest, child->name.size());
  *subKeys = static_cast<std::uint32_t>(children.size());
  *maxSubKeyChars = static_cast<std::uint32_t>(longest);
  return reg::kSuccess;
}

long FakeRegistry::EnumKeyW(RegHandle key, std::uint32_t index, std::uint32_t capacity, std::wstring* name) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto open = open_.find(key);
  if (open == open_.end()) return reg::kInvalidHandle;
  const auto children = Children(open->second);
  if (index >= children.size()) return reg::kNoMoreItems;
  if (children[index]->name.size() + 1 > capacity) return reg::kMoreData;
  *name = children[index]->name;
  return reg::kSuccess;
}

}  // namespace zelvane::testing
