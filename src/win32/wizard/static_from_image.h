#pragma once
// A static control that paints a GDI+ picture stretched over its whole client area.

#include <windows.h>

#include <memory>

namespace Gdiplus {
class Image;
}

namespace zelvane::win32 {

class CStaticFromImage {
 public:
  CStaticFromImage() = default;
  CStaticFromImage(const CStaticFromImage&) = delete;
  CStaticFromImage& operator=(const CStaticFromImage&) = delete;
  ~CStaticFromImage();

  // Takes over the painting of the dialog's static control `id`.
  void Attach(HWND dialog, int id);
  HWND hwnd() const { return hwnd_; }

  // Replaces the picture (the old one goes when no one else holds it) and repaints.
  void SetImage(std::shared_ptr<Gdiplus::Image> image);
  // Decodes the PNG (or any format GDI+ reads) of resource `id` of type `type` in this program;
  // the control is left without a picture when the resource is missing or cannot be decoded.
  void LoadFromResource(UINT id, LPCWSTR type);
  const std::shared_ptr<Gdiplus::Image>& image() const { return m_image; }

 private:
  static LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR self);
  void OnPaint();
  void Detach();

  HWND hwnd_ = nullptr;
  std::shared_ptr<Gdiplus::Image> m_image;
};

}  // namespace zelvane::win32
