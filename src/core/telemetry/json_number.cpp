#include "telemetry/json_number.h"

#include <climits>
#include <string>

namespace zelvane {

int JsonToInt(const nlohmann::json& value, bool acceptBoolean) {
  switch (value.type()) {
    case nlohmann::json::value_t::number_integer: {
      const auto number = value.get<std::int64_t>();
      if (number > INT_MAX) return INT_MAX;
      if (number < INT_MIN) return INT_MIN;
      return static_cast<int>(number);
    }
    case nlohmann::json::value_t::number_unsigned: {
      const auto number = value.get<std::uint64_t>();
      return number > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(number);
    }
    case nlohmann::json::value_t::number_float: {
      const double number = value.get<double>();
      if (!(number > static_cast<double>(INT_MIN) - 1.0)) return INT_MIN;  // NaN and below
      if (!(number < static_cast<double>(INT_MAX) + 1.0)) return INT_MAX;
      return static_cast<int>(number);  // truncates toward zero
    }
    case nlohmann::json::value_t::boolean:
      if (acceptBoolean) return value.get<bool>() ? 1 : 0;
      break;
    default:
      break;
  }
  throw nlohmann::json::type_error::create(302, std::string("type must be number, but is ") + value.type_name(), &value);
}

}  // namespace zelvane
