#include "download/installer.h"

#include "app/configuration_manager.h"
#include "app/text_encoding.h"

namespace zelvane {

int ArchiveTypeOfSignature(const std::uint8_t* bytes, std::size_t count) {
  static const std::uint8_t kZip[] = {0x50, 0x4B, 0x03, 0x04};
  static const std::uint8_t k7z[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
  auto startsWith = [&](const std::uint8_t* signature, std::size_t length) {
    if (count < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
      if (bytes[i] != signature[i]) return false;
    }
    return true;
  };
  if (startsWith(kZip, sizeof kZip)) return kZipArchive;
  if (startsWith(k7z, sizeof k7z)) return k7zArchive;
  return kNotArchive;
}

std::wstring ExtractionFolderFor(const std::wstring& archivePath, const std::wstring& baseFolder) {
  const std::size_t slash = archivePath.rfind(L'\\');
  if (slash == std::wstring::npos) return baseFolder;
  std::wstring suffix = L"\\" + archivePath.substr(slash + 1);
  const std::size_t dot = suffix.rfind(L'.');
  if (dot != std::wstring::npos) suffix.erase(dot);
  return baseFolder + suffix;
}

std::wstring InstallerCommandLine(const std::wstring& executable, const std::wstring& arguments) {
  return L"\"" + executable + L"\" " + arguments;
}

std::wstring ExitCodeMessage(std::uint32_t exitCode) { return L"exit code = " + DecimalText(exitCode); }

std::wstring OptionCode(const std::array<bool, 8>& options) {
  std::wstring code;
  auto bit = [&](int option) { code += options[option] ? L'1' : L'0'; };
  bit(5);
  bit(6);
  bit(3);
  code += L"00";
  bit(4);
  code += L"0101";
  bit(7);
  bit(5);
  bit(1);
  bit(2);
  bit(0);
  code += L"0";
  return code;
}

std::wstring MainInstallerArguments(const ConfigurationManager& config) {
  if (config.wizardType == kWizardIsv && config.classicFlow) {
    return L"/S /FORCEINSTALL " + OptionCode(config.classicOptions);
  }
  return config.installerArguments;
}

}  // namespace zelvane
