// ZIP extraction: the shell's ZIP folder first, our own extractor where the shell has none.

#include <windows.h>
#include <shldisp.h>

#include <vector>

#include "common/handles.h"
#include "download/installer_launch.h"
#include "download/target_path.h"
#include "download/zip_reader.h"

namespace zelvane::win32 {

namespace {

// Shell.Application.
const CLSID kShellApplication = {0x13709620, 0xC279, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI.
constexpr LONG kCopyQuietly = 0x614;

// COM for this thread while the shell works; left as it was found when the thread had it already
// in another model.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(::CoInitialize(nullptr))) {}
  ~ComApartment() {
    if (initialised_) ::CoUninitialize();
  }

 private:
  bool initialised_;
};

// The shell folder of a path, or nothing.
bool OpenNamespace(IShellDispatch* shell, const std::wstring& path, ComPtr<Folder>* folder) {
  UniqueBstr name(::SysAllocStringLen(path.data(), static_cast<UINT>(path.size())));
  if (!name) return false;
  VARIANT where;
  ::VariantInit(&where);
  where.vt = VT_BSTR;
  where.bstrVal = name.get();
  return SUCCEEDED(shell->NameSpace(where, folder->put())) && *folder;
}

// Both outcomes the shell can give: it opened the archive (and copied or not), or it could not.
enum class ShellCopy { Copied, Failed, CannotOpen };

ShellCopy CopyWithShell(const std::wstring& archivePath, const std::wstring& destination) {
  ComApartment apartment;
  ComPtr<IShellDispatch> shell;
  if (FAILED(::CoCreateInstance(kShellApplication, nullptr, CLSCTX_INPROC_SERVER, IID_IShellDispatch,
                                shell.put_void()))) {
    return ShellCopy::CannotOpen;
  }
  ComPtr<Folder> source;
  ComPtr<Folder> target;
  if (!OpenNamespace(shell.get(), archivePath, &source)) return ShellCopy::CannotOpen;
  if (!OpenNamespace(shell.get(), destination, &target)) return ShellCopy::Failed;
  ComPtr<FolderItems> items;
  if (FAILED(source->Items(items.put())) || !items) return ShellCopy::Failed;
  LONG count = 0;
  if (FAILED(items->get_Count(&count)) || count < 1) return ShellCopy::Failed;
  ComPtr<IDispatch> dispatch;
  if (FAILED(items->QueryInterface(IID_IDispatch, dispatch.put_void()))) return ShellCopy::Failed;

  VARIANT what;
  ::VariantInit(&what);
  what.vt = VT_DISPATCH;
  what.pdispVal = dispatch.get();
  VARIANT options;
  ::VariantInit(&options);
  options.vt = VT_I4;
  options.lVal = kCopyQuietly;
  return SUCCEEDED(target->CopyHere(what, options)) ? ShellCopy::Copied : ShellCopy::Failed;
}

class FileZipSource : public ZipSource {
 public:
  explicit FileZipSource(HANDLE file) : file_(file) {}
  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }
  bool ReadAt(std::uint64_t offset, void* data, std::size_t size) override {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return false;
    auto* bytes = static_cast<std::uint8_t*>(data);
    while (size > 0) {
      const DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
      DWORD read = 0;
      if (!::ReadFile(file_, bytes, piece, &read, nullptr) || read == 0) return false;
      bytes += read;
      size -= read;
    }
    return true;
  }

 private:
  HANDLE file_;
};

std::wstring ToWide(const std::string& text, UINT codePage) {
  if (text.empty()) return L"";
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return L"";
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

bool MakeFolder(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// One entry's path below the destination, creating the folders on the way; "" when it cannot be.
std::wstring PrepareEntryPath(const std::wstring& destination, const std::vector<std::wstring>& components,
                              bool folderEntry) {
  std::wstring path = destination;
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (components[i].empty() || !AppendPath(path, components[i])) return L"";
    const bool isFolder = i + 1 < components.size() || folderEntry;
    if (isFolder && !MakeFolder(path)) return L"";
  }
  return path;
}

bool WriteEntry(ZipSource& source, const ZipEntry& entry, const std::wstring& path) {
  FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const bool extracted = ExtractZipEntry(source, entry, [&](const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    return ::WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
  });
  if (!extracted) {
    file.reset();
    ::DeleteFileW(path.c_str());
  }
  return extracted;
}

}  // namespace

bool ExtractZipArchive(const std::wstring& archivePath, const std::wstring& destination) {
  FileHandle file(::CreateFileW(archivePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  FileZipSource source(file.get());
  std::vector<ZipEntry> entries;
  if (!ReadZipDirectory(source, &entries) || entries.empty()) return false;

  // Every name is checked before anything is written: an archive that tries to leave the
  // destination is not extracted at all.
  std::vector<std::vector<std::wstring>> paths;
  for (const ZipEntry& entry : entries) {
    std::vector<std::string> components;
    if (!SplitZipEntryName(entry.name, &components)) return false;
    std::vector<std::wstring> wide;
    for (const std::string& component : components) {
      wide.push_back(ToWide(component, entry.utf8 ? CP_UTF8 : 437));
    }
    paths.push_back(std::move(wide));
  }

  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (paths[i].empty()) continue;  // "./" and the like: the destination itself
    const bool folderEntry = entries[i].IsDirectory();
    const std::wstring path = PrepareEntryPath(destination, paths[i], folderEntry);
    if (path.empty()) return false;
    if (!folderEntry && !WriteEntry(source, entries[i], path)) return false;
  }
  return true;
}

bool ExtractZip(const std::wstring& archivePath, const std::wstring& destination) {
  switch (CopyWithShell(archivePath, destination)) {
    case ShellCopy::Copied: return true;
    case ShellCopy::Failed: return false;
    case ShellCopy::CannotOpen: break;
  }
  return ExtractZipArchive(archivePath, destination);
}

}  // namespace zelvane::win32
