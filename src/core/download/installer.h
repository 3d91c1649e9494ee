#pragma once
// What turns a downloaded file into a running installer, decided without touching the system:
// archive signatures, the extraction folder's name, installer command lines and exit-code texts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zelvane {

class ConfigurationManager;

enum ArchiveType : int {
  kNotArchive = 0,
  kZipArchive = 1,
  k7zArchive = 2,
};

// The first bytes of a file (at most six are looked at): "PK\3\4" is a ZIP archive, the full six-byte
// 7z signature a 7z archive, anything else (fewer bytes too) none.
int ArchiveTypeOfSignature(const std::uint8_t* bytes, std::size_t count);

// The folder a ZIP archive is extracted into: the base folder + "\" + the archive's file name without
// its last extension; the base folder itself when the path has no backslash.
std::wstring ExtractionFolderFor(const std::wstring& archivePath, const std::wstring& baseFolder);

// What a launched installer reports.
struct LaunchResult {
  std::uint32_t exitCode = 0;
  std::wstring message;
};

// Exit code of a process that was not waited for or did not start.
constexpr std::uint32_t kNoExitCode = 0xFFFFFFFF;

// The command line an installer is started with: the quoted executable, one space, the arguments.
std::wstring InstallerCommandLine(const std::wstring& executable, const std::wstring& arguments);

// "exit code = N".
std::wstring ExitCodeMessage(std::uint32_t exitCode);

// The sixteen characters that pass the options and configurations pages' choices to the classic
// installer.
std::wstring OptionCode(const std::array<bool, 8>& options);

// The main product's installer arguments: DLM takes the record's arguments; ISV takes
// "/S /FORCEINSTALL " + the option code in the classic flow and the record's arguments otherwise.
// An offer's installer is started with its own arguments, unchanged.
std::wstring MainInstallerArguments(const ConfigurationManager& config);

}  // namespace zelvane
