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

// FinishPageDLM: the downloaded file itself with "Launch" chosen, or Explorer showing it selected with
// "Open Folder"; nothing when neither radio button is checked.
std::optional<ShellOpen> FinishDlmOpen(const std::wstring& downloadedFilePath, bool launchChecked,
                                       bool openFolderChecked);

}  // namespace zelvane
