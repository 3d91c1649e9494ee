#pragma once
#include <stdexcept>
#include <string>

namespace zelvane {

class OrvaneException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zelvane
