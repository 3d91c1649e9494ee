#pragma once
#include "fakes/fake_machine.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_ui.h"
#include "app/build_profile.h"
#include "ports/platform.h"

namespace zelvane::testing {

// One set of fakes bundled as a platform.
struct FakePlatform {
  FakeMachine machine;
  FakeRegistry registry;
  FakeUserInterface ui;
  Platform platform{machine, registry, ui};
};

// The fakes behind SystemPlatform() in the host test program.
FakePlatform& SystemFakes();

BuildProfile TestProfile(const std::string& wizardTypeName = "ISV");

}  // namespace zelvane::testing
