#pragma once
#include "ports/digests.h"
#include "ports/json_transport.h"
#include "ports/machine.h"
#include "ports/registry_api.h"
#include "ports/text_codec.h"
#include "ports/user_interface.h"

namespace zelvane {

// The ports one program runs on.
struct Platform {
  Machine& machine;
  RegistryApi& registry;
  UserInterface& ui;
  TextCodec& text;
  Digests& digests;
  JsonTransport& transport;
};

// The platform of this program: the Windows adapters in the shipped program, fakes in host tests.
// Defined by whatever links the core into a program.
Platform& SystemPlatform();

}  // namespace zelvane
