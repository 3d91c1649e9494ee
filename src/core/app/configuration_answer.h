#pragma once
// The configuration request body and what the answer changes in the configuration record.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zelvane {

class ConfigurationManager;

// The request body: "prv", "plv", "l", "a", "i", "s", "u" and "o", compact, keys in sorted order.
std::string ConfigurationRequestBody(ConfigurationManager& config);

// The answer text made ready for parsing: every space, tab, line feed, carriage return, vertical tab and
// form feed outside string literals is removed; inside them only the raw control bytes go (JSON cannot
// carry them unescaped) and blanks stay.
std::string RemoveAnswerWhitespace(const std::string& text);

struct ConfigurationAnswer {
  // False when a DLM answer's product title or download URL is empty.
  bool productUsable = true;
  // True when the answer has "o" and the product's "ch" code does not suppress offers.
  bool evaluateOffers = false;
  // The offer objects in order: an array's elements, an object's member values in key order, or a
  // single value.
  std::vector<nlohmann::json> offers;
};

// Writes the country code, the DLM product description, the publisher id and the offer limit of the
// answer into `config`. Throws the library's exceptions for a required key that is missing or of the
// wrong type.
ConfigurationAnswer ApplyConfigurationAnswer(const nlohmann::json& doc, ConfigurationManager& config);

}  // namespace zelvane
