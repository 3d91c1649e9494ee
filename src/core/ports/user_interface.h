#pragma once
#include <string>

namespace zelvane {

// Message box flags and answers as Windows numbers them.
namespace mb {
constexpr unsigned kOk = 0x0;
constexpr unsigned kOkCancel = 0x1;
constexpr unsigned kIconStop = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kSystemModal = 0x1000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
}  // namespace mb

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Shows a message box with no owner window and returns the button pressed.
  virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) = 0;
};

}  // namespace zelvane
