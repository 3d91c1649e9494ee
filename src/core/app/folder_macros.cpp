#include "app/folder_macros.h"

namespace zelvane {

bool FolderMacroTable::Add(const std::wstring& name, const std::wstring& value) {
  if (Find(name) != nullptr) return false;
  entries_.emplace_back(name, value);
  return true;
}

const std::wstring* FolderMacroTable::Find(const std::wstring& name) const {
  for (const auto& entry : entries_) {
    if (entry.first == name) return &entry.second;
  }
  return nullptr;
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
  if (from.empty()) return;
  for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

void ExpandFolderMacros(std::wstring& text, const FolderMacroTable& table) {
  for (const auto& [name, value] : table) {
    ReplaceAll(text, L"{" + name + L"}", value);
  }
}

}  // namespace zelvane
