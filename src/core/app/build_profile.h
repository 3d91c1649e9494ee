#pragma once
#include <string>

namespace zelvane {

// What a build compiles in: the wizard type name, the page flow and the deployment hosts.
struct BuildProfile {
  std::string wizardTypeName;
  bool brandedFlow = true;
  bool classicFlow = false;
  std::wstring contentHost;   // configuration, analytics and file endpoints
  std::wstring downloadHost;  // the main product's download
  std::wstring websiteHost;   // the maker's web site (legal links)
};

// The profile of the running program; generated for each built variant.
const BuildProfile& CompiledProfile();

}  // namespace zelvane
