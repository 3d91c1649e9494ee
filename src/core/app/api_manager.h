#pragma once
#include <memory>

namespace zelvane {

// Process-wide owner of the remote configuration request.
class ApiManager {
 public:
  static std::shared_ptr<ApiManager> Instance();
};

}  // namespace zelvane
