#include "fakes/fake_registry.h"

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
  keys_[{root, Lower(keyPath)}];
}

void FakeRegistry::Set(RegRoot root, const std::wstring& keyPath, const std::string& name, std::uint32_t type,
                       std::vector<std::uint8_t> data) {
  std::lock_guard<std::mutex> lock(mutex_);
  keys_[{root, Lower(keyPath)}].values[name] = RegValue{type, std::move(data)};
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

}  // namespace zelvane::testing
