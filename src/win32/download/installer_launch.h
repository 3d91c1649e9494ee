#pragma once
// Turns a downloaded package file into a running installer: archive detection, ZIP extraction,
// the executable inside, and the process itself.

#include <atomic>
#include <future>
#include <string>

#include "download/installer.h"

namespace zelvane::win32 {

// The archive type of the file by its first bytes; kNotArchive when it cannot be read.
int DetectArchiveType(const std::wstring& path);

// The file to execute for a downloaded package: a ZIP archive is extracted into its own folder under
// `baseFolder` and its first executable is run; anything else, or an archive that cannot be
// extracted or holds no executable at its top, is run as it is.
std::wstring PrepareInstaller(const std::wstring& path, int archiveType, const std::wstring& baseFolder);

// Creates (or reuses) the folder the archive is extracted into; the base folder when that fails.
std::wstring MakeExtractionFolder(const std::wstring& archivePath, const std::wstring& baseFolder);

// Extracts the whole archive into the folder: through the shell's ZIP folder, and where the shell
// cannot open the archive, through our own extractor.
[[nodiscard]] bool ExtractZip(const std::wstring& archivePath, const std::wstring& destination);

// The extractor of our own (stored and deflated entries). Refuses the whole archive, writing
// nothing, when any entry would land outside the destination.
[[nodiscard]] bool ExtractZipArchive(const std::wstring& archivePath, const std::wstring& destination);

// The name of the first file (not folder) matching "*.exe" in the folder; "" when there is none.
std::wstring FindFirstExe(const std::wstring& folder);

// Starts the executable with the arguments; when `wait` is set, waits for it and reports its exit
// code. A non-zero exit code (kNoExitCode when not waited for) comes with "exit code = N"; a
// process that did not start gives kNoExitCode and "Error launching executable: <system text>".
// The wait ends early, without an exit code, once `giveUp` is set (the wizard is closing and leaves
// the installer running).
LaunchResult LaunchProcess(const std::wstring& executable, const std::wstring& arguments, bool wait,
                           const std::atomic<bool>* giveUp = nullptr);

// LaunchProcess on a task of the runtime's pool.
std::future<LaunchResult> LaunchProcessAsync(const std::wstring& executable, const std::wstring& arguments,
                                             bool wait, const std::atomic<bool>* giveUp = nullptr);

}  // namespace zelvane::win32
