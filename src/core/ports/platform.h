#pragma once
#include "ports/machine.h"
#include "ports/registry_api.h"
#include "ports/user_interface.h"

namespace zelvane {

// The ports one program runs on.
struct Platform {
  Machine& machine;
  RegistryApi& registry;
  UserInterface& ui;
};

// The platform of this program: the Windows adapters in the shipped program, fakes in host tests.
// Defined by whatever links the core into a program.
Platform& SystemPlatform();

}  // namespace zelvane
