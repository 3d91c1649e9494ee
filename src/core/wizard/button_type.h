#pragma once
#include <cstdint>

namespace zelvane {

// What a page reports to the wizard controller.
enum class ButtonType : std::int32_t {
  Next = 0,
  Accept = 1,
  Close = 2,
  Decline = 3,
  Finish = 4,
  Back = 5,
  SkipAll = 6,
};

}  // namespace zelvane
