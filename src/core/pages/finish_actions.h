#pragma once
// What the finish pages start when Finish is clicked, decided without windows; the page passes the
// result to ShellExecuteW ("open", file, parameters, no folder, SW_SHOWDEFAULT) and ignores its outcome.

#include <optional>
#include <string>

namespace zelvane {

class ConfigurationManager;

struct ShellOpen {
  std::wstring file;
  std::wstring parameters;  // empty: none
};

// FinishPageISV: with the launch box ticked, the record's launch path with its folder macros expanded
// (the table is built first when it is not yet), started with the record's launch arguments.
std::optional<ShellOpen> FinishIsvLaunch(ConfigurationManager& config, bool launchChecked);

// FinishPageDLM: the record's downloaded file itself with "Launch" chosen, or Explorer showing it
// selected with "Open Folder"; nothing when neither radio button is checked. Explorer is named by its
// full path in the Windows folder: a bare "explorer.exe" is looked up along a search path that may
// begin with the program's own or current folder (the Downloads folder, as a rule), where a file of
// that name would be started by this elevated process. Without the Windows folder nothing is opened.
std::optional<ShellOpen> FinishDlmOpen(ConfigurationManager& config, bool launchChecked, bool openFolderChecked);

}  // namespace zelvane
