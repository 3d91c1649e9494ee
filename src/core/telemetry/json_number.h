#pragma once
// How numbers of the remote configuration are read.

#include <nlohmann/json.hpp>

namespace zelvane {

// A JSON integer, unsigned integer or floating-point number as an int: a floating value is truncated
// toward zero, and a value beyond the range of int is held at its nearest end. A boolean counts as 0 or
// 1 only when `acceptBoolean`. Anything else throws the library's type error 302
// ("type must be number, but is ...").
int JsonToInt(const nlohmann::json& value, bool acceptBoolean = false);

}  // namespace zelvane
