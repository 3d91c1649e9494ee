#pragma once
// One owning type per kind of Windows handle; each closes what it holds on every path.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace zelvane::win32 {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  explicit operator bool() const { return Traits::Valid(handle_); }
  Handle get() const { return handle_; }
  // For out-parameters: closes what is held and hands out the slot.
  Handle* put() {
    reset();
    return &handle_;
  }
  [[nodiscard]] Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    if (Traits::Valid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {  // CreateMutex, CreateProcess, CreateEvent: null when invalid
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct FileHandleTraits : KernelHandleTraits {  // CreateFile, snapshots: INVALID_HANDLE_VALUE when invalid
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Handle h) { ::FindClose(h); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

// Handles that are null when invalid and closed by one function.
template <typename H, auto CloseFunction>
struct NullInvalidTraits {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { CloseFunction(h); }
};

using UniqueRegKey = UniqueHandle<NullInvalidTraits<HKEY, &::RegCloseKey>>;
using LocalMemory = UniqueHandle<NullInvalidTraits<HLOCAL, &::LocalFree>>;
using CoTaskString = UniqueHandle<NullInvalidTraits<wchar_t*, &::CoTaskMemFree>>;
using UniqueBrush = UniqueHandle<NullInvalidTraits<HBRUSH, &::DeleteObject>>;
using UniqueFont = UniqueHandle<NullInvalidTraits<HFONT, &::DeleteObject>>;
using UniqueIcon = UniqueHandle<NullInvalidTraits<HICON, &::DestroyIcon>>;

// A COM interface pointer, released once.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  explicit operator bool() const { return pointer_ != nullptr; }
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  T** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
  }

 private:
  T* pointer_ = nullptr;
};

// A BSTR, freed once.
using UniqueBstr = UniqueHandle<NullInvalidTraits<BSTR, &::SysFreeString>>;

}  // namespace zelvane::win32
