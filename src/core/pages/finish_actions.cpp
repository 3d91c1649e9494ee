#include "pages/finish_actions.h"

#include "app/configuration_manager.h"
#include "app/folder_macros.h"

namespace zelvane {

std::optional<ShellOpen> FinishIsvLaunch(ConfigurationManager& config, bool launchChecked) {
  if (!launchChecked) return std::nullopt;
  std::wstring file = config.launchPath;
  config.BuildFolderMacros();
  ExpandFolderMacros(file, config.folderMacros);
  return ShellOpen{file, config.launchArguments};
}

std::optional<ShellOpen> FinishDlmOpen(const std::wstring& downloadedFilePath, bool launchChecked,
                                       bool openFolderChecked) {
  if (launchChecked) return ShellOpen{downloadedFilePath, L""};
  if (openFolderChecked) return ShellOpen{L"explorer.exe", L"/select,\"" + downloadedFilePath + L"\""};
  return std::nullopt;
}

}  // namespace zelvane
