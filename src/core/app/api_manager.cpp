#include "app/api_manager.h"

namespace zelvane {

std::shared_ptr<ApiManager> ApiManager::Instance() {
  static const std::shared_ptr<ApiManager> instance = std::make_shared<ApiManager>();
  return instance;
}

}  // namespace zelvane
