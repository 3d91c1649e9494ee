#pragma once
#include <string>
#include <utility>
#include <vector>

namespace zelvane {

// Folder macros ("{commonappdata}" and the like) by name without braces, kept in the order they were
// added: expansion walks them in that order, so "{commonpf}" (always first) becomes "{commonpf64}"
// or "{commonpf32}" and is expanded further in the same pass.
class FolderMacroTable {
 public:
  using Entry = std::pair<std::wstring, std::wstring>;

  // Adds the entry unless the name is present already; returns whether it was added.
  bool Add(const std::wstring& name, const std::wstring& value);
  const std::wstring* Find(const std::wstring& name) const;
  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }
  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }

 private:
  std::vector<Entry> entries_;
};

// Replaces every "{name}" of the table in `text`, one pass in table order, names matched exactly.
void ExpandFolderMacros(std::wstring& text, const FolderMacroTable& table);

// Replaces every occurrence of `from` by `to`, resuming the search after each inserted value.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

}  // namespace zelvane
