#pragma once
#include <mutex>
#include <vector>

#include "ports/user_interface.h"

namespace zelvane::testing {

struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  unsigned flags;
};

class FakeUserInterface : public UserInterface {
 public:
  int answer = mb::kIdOk;

  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back({text, caption, flags});
    return answer;
  }
  std::vector<ShownMessage> shown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }

 private:
  std::mutex mutex_;
  std::vector<ShownMessage> shown_;
};

}  // namespace zelvane::testing
