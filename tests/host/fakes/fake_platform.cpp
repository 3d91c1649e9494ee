#include "fakes/fake_platform.h"

#include "app/build_profile.h"

namespace zelvane {

namespace testing {

FakePlatform& SystemFakes() {
  static FakePlatform fakes;
  return fakes;
}

BuildProfile TestProfile(const std::string& wizardTypeName) {
  BuildProfile profile;
  profile.wizardTypeName = wizardTypeName;
  profile.contentHost = L"content.test";
  profile.downloadHost = L"download.test";
  profile.websiteHost = L"www.test";
  return profile;
}

}  // namespace testing

Platform& SystemPlatform() { return testing::SystemFakes().platform; }

const BuildProfile& CompiledProfile() {
  static const BuildProfile profile = testing::TestProfile("ISV");
  return profile;
}

}  // namespace zelvane
