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

std::optional<ShellOpen> FinishDlmOpen(ConfigurationManager& config, bool launchChecked, bool openFolderChecked) {
  const std::wstring& path = config.downloadedFilePath;
  if (launchChecked) return ShellOpen{path, L""};
  if (!openFolderChecked) return std::nullopt;
  std::wstring windows = config.GetPlatform().machine.KnownFolderPath(KnownFolder::Windows);
  if (windows.empty()) return std::nullopt;
  if (windows.back() != L'\\') windows += L'\\';
  return ShellOpen{windows + L"explorer.exe", L"/select,\"" + path + L"\""};
}

}  // namespace zelvane
