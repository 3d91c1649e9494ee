#pragma once
#include "fakes/fake_digests.h"
#include "fakes/fake_machine.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_text_codec.h"
#include "fakes/fake_transport.h"
#include "fakes/fake_ui.h"
#include "app/build_profile.h"
#include "ports/platform.h"

namespace zelvane::testing {

// One set of fakes bundled as a platform.
struct FakePlatform {
  FakeMachine machine;
  FakeRegistry registry;
  FakeUserInterface ui;
  FakeTextCodec text;
  HostDigests digests;
  RecordingTransport transport;
  Platform platform{machine, registry, ui, text, digests, transport};
};

// The fakes behind SystemPlatform() in the host test program.
FakePlatform& SystemFakes();

BuildProfile TestProfile(const std::string& wizardTypeName = "ISV");

}  // namespace zelvane::testing
