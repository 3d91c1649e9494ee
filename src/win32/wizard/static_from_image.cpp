#include "wizard/static_from_image.h"

#include <commctrl.h>
#include <gdiplus.h>

#include "common/handles.h"

namespace zelvane::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 0x5346;  // "SF"

using UniqueGlobal = UniqueHandle<NullInvalidTraits<HGLOBAL, &::GlobalFree>>;

struct StreamRelease {
  void operator()(IStream* stream) const { stream->Release(); }
};

std::shared_ptr<Gdiplus::Image> DecodeResource(UINT id, LPCWSTR type) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (resource == nullptr) return nullptr;
  const DWORD size = ::SizeofResource(module, resource);
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return nullptr;

  UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (!block) return nullptr;
  void* target = ::GlobalLock(block.get());
  if (target == nullptr) return nullptr;
  ::CopyMemory(target, bytes, size);
  ::GlobalUnlock(block.get());

  IStream* raw = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(block.get(), TRUE, &raw))) return nullptr;
  (void)block.release();  // the stream frees the block when it is released
  std::unique_ptr<IStream, StreamRelease> stream(raw);
  auto bitmap = std::make_shared<Gdiplus::Bitmap>(stream.get());
  if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return bitmap;
}

}  // namespace

CStaticFromImage::~CStaticFromImage() { Detach(); }

void CStaticFromImage::Attach(HWND dialog, int id) {
  Detach();
  hwnd_ = ::GetDlgItem(dialog, id);
  if (hwnd_ != nullptr) ::SetWindowSubclass(hwnd_, &CStaticFromImage::Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void CStaticFromImage::Detach() {
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::RemoveWindowSubclass(hwnd_, &CStaticFromImage::Subclass, kSubclassId);
  hwnd_ = nullptr;
}

void CStaticFromImage::SetImage(std::shared_ptr<Gdiplus::Image> image) {
  m_image = std::move(image);
  if (hwnd_ != nullptr) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void CStaticFromImage::LoadFromResource(UINT id, LPCWSTR type) { SetImage(DecodeResource(id, type)); }

void CStaticFromImage::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd_, &paint);
  {
    Gdiplus::Graphics graphics(dc);
    if (m_image) {
      RECT client{};
      ::GetClientRect(hwnd_, &client);
      graphics.DrawImage(m_image.get(), 0, 0, static_cast<INT>(client.right), static_cast<INT>(client.bottom));
    }
  }
  ::EndPaint(hwnd_, &paint);
}

LRESULT CALLBACK CStaticFromImage::Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                            DWORD_PTR self) {
  auto* control = reinterpret_cast<CStaticFromImage*>(self);
  switch (message) {
    case WM_PAINT:
      control->OnPaint();
      return 0;
    case WM_ERASEBKGND: {
      // The parent's colour for its statics, so a picture with transparency or none shows the page.
      RECT client{};
      ::GetClientRect(hwnd, &client);
      auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(hwnd), WM_CTLCOLORSTATIC, wParam,
                                                           reinterpret_cast<LPARAM>(hwnd)));
      if (brush != nullptr) ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(hwnd, &CStaticFromImage::Subclass, kSubclassId);
      control->hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace zelvane::win32
