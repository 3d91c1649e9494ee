#include "download/transfer.h"

#include "download/system_error.h"

#include <new>

namespace zelvane::win32::transfer {

namespace {

std::wstring FromAnsi(const char* text) {
  const int length = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return L"";
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length) - 1);
  return wide;
}

}  // namespace

void Fail(const std::wstring& text) { throw TransferError(text); }

void FailWithCode(const wchar_t* format, DWORD code) {
  throw TransferError(FormatSystemError(format, code, SystemErrorText(code)));
}

std::wstring CurrentErrorText() {
  try {
    throw;
  } catch (const TransferError& error) {
    return error.text();
  } catch (const std::exception& error) {
    return FromAnsi(error.what());
  }
}

OutputFile::OutputFile(const std::wstring& path)
    : file_(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {
  if (!file_) openError_ = ::GetLastError();
}

void OutputFile::Write(const void* data, DWORD size) {
  if (pending_.size() + size > kWriteBlock) Flush();
  if (size >= kWriteBlock) {
    WriteThrough(data, size);
    return;
  }
  if (pending_.capacity() < kWriteBlock) {
    try {
      pending_.reserve(kWriteBlock);
    } catch (const std::bad_alloc&) {
      Fail(L"Out of memory.");
    }
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  pending_.insert(pending_.end(), bytes, bytes + size);
}

void OutputFile::Finish() {
  Flush();
  Close();
}

void OutputFile::Flush() {
  if (pending_.empty()) return;
  WriteThrough(pending_.data(), static_cast<DWORD>(pending_.size()));
  pending_.clear();
}

void OutputFile::WriteThrough(const void* data, DWORD size) {
  DWORD written = 0;
  if (!::WriteFile(file_.get(), data, size, &written, nullptr) || written != size) {
    FailWithCode(L"Failed to write file: %d - %s", ::GetLastError());
  }
}

void CheckComplete(const std::wstring& path, std::uint32_t contentLength, const wchar_t* openFailure) {
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) FailWithCode(openFailure, ::GetLastError());
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) FailWithCode(openFailure, ::GetLastError());
  const auto length = static_cast<std::uint64_t>(size.QuadPart);
  if (length != contentLength) Fail(IncompleteDownloadText(contentLength, length));
}

void Post(HWND window, unsigned message, WPARAM wParam) {
  if (window != nullptr) ::PostMessageW(window, message, wParam, 0);
}

}  // namespace zelvane::win32::transfer
