#pragma once
// The tracking macros and partner settings of an offer package, and the registry mark that hides a
// partner's offers after one was shown. A package holds a MacroTable and a PartnerSettings and calls
// these operations on them.

#include <climits>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "ports/machine.h"

namespace zelvane {

class ConfigurationManager;

// Macro names without braces and their values; a string refers to an entry as "{name}".
using MacroTable = std::unordered_map<std::string, std::string>;

struct PartnerSettings {
  bool enabled = false;     // "pn"
  std::string apiUrl;       // "pnau"
  std::string apiKey;       // "pnak"
  std::string registryKey;  // "pnr"
  std::string op;           // "pnop"
  bool si = false;          // "pnsi"
  std::string stubParams;   // "sp", macros expanded
  std::string la;           // "la"
  int mb = INT_MAX;         // "cfs"."mb"
  std::vector<std::string> ab;
  int ma = INT_MAX;
  std::vector<std::string> aa;
  int mo = INT_MAX;
  bool saad = false;
  bool sied = false;
};

// Adds the entry unless the name is already there: the first value stays.
void AddMacro(MacroTable& macros, const std::string& name, const std::string& value);

// The first set: "userid", "sessionid", "cc", "pubid" and "ispb" when not empty, and "aflt".
void AddTrackingMacros(MacroTable& macros, ConfigurationManager& config);

// Reads the offer's "ps" object into `settings` and, in partner mode, adds the second set of macros.
// Throws the library's type error 302 for a value of the wrong type.
void ReadPartnerSettings(const nlohmann::json& ps, PartnerSettings& settings, MacroTable& macros,
                         ConfigurationManager& config);

// Replaces every "{name}" of the table's entries; the search goes on after each inserted value, so a
// value that contains references is not expanded again.
std::string ExpandMacros(const MacroTable& macros, const std::string& text);

// The local date 180 days from now as the number YYYYMMDD. Throws std::invalid_argument when the
// local time cannot be formed.
int NoShowUntilDate(Machine& machine);

// Writes NoShowUntilDate() as a REG_DWORD named by the MD5 hex of the publisher under
// HKEY_LOCAL_MACHINE\<registryKey> (32-bit view). False when there is no key or anything fails.
bool WriteNoShowMark(const PartnerSettings& settings, ConfigurationManager& config);

}  // namespace zelvane
