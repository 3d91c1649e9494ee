#pragma once
// The pieces the two transports share. WinHTTP and WinINet live in files of their own, since their
// headers cannot meet in one translation unit; neither is included here.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/handles.h"
#include "download/download_rules.h"

namespace zelvane::win32::transfer {

// The first error of a transport attempt, as the text the download reports.
class TransferError : public std::runtime_error {
 public:
  explicit TransferError(std::wstring text) : std::runtime_error("transfer error"), text_(std::move(text)) {}
  const std::wstring& text() const { return text_; }

 private:
  std::wstring text_;
};

[[noreturn]] void Fail(const std::wstring& text);
// Fails with the template filled with the code and its system text.
[[noreturn]] void FailWithCode(const wchar_t* format, DWORD code);
// The text of what an attempt threw; called in a handler of the std::exception it caught.
std::wstring CurrentErrorText();

// The file a transport writes: truncated when the attempt starts; a failure to open it is kept and
// reported once the response is there. The transports read in chunks of a few KB; writes are
// gathered into blocks of kWriteBlock bytes, since under Wine every WriteFile costs far more than its
// bytes. Finish writes what is gathered; Close alone drops it (the attempt failed anyway).
class OutputFile {
 public:
  static constexpr std::size_t kWriteBlock = 1 << 20;

  explicit OutputFile(const std::wstring& path);
  bool IsOpen() const { return static_cast<bool>(file_); }
  DWORD openError() const { return openError_; }
  void Write(const void* data, DWORD size);
  // Writes the gathered bytes and closes the file.
  void Finish();
  void Close() { file_.reset(); }

 private:
  void WriteThrough(const void* data, DWORD size);
  void Flush();

  FileHandle file_;
  DWORD openError_ = ERROR_SUCCESS;
  std::vector<std::uint8_t> pending_;
};

// The length of the written file must be the announced one. `openFailure` is the text when the
// file cannot be opened again (with "%d - %s" when it carries the error).
void CheckComplete(const std::wstring& path, std::uint32_t contentLength, const wchar_t* openFailure);

// Posts to the page's window; nothing without one.
void Post(HWND window, unsigned message, WPARAM wParam);

// One file download over one transport; on failure the message is its first error, untagged.
struct FileJob {
  const std::wstring& url;
  const std::wstring& path;
  HWND window;
  const std::atomic<bool>& cancelled;
};
DownloadResult WinHttpFile(const FileJob& job);
DownloadResult WinInetFile(const FileJob& job);

// Two attempts over WinHTTP into memory; empty when nothing usable arrived.
std::unique_ptr<std::vector<std::uint8_t>> WinHttpMemory(const std::wstring& url, const std::atomic<bool>& cancelled);

}  // namespace zelvane::win32::transfer
