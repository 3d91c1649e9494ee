#include "telemetry/transport_policy.h"

namespace zelvane {

TransportSettings ChooseTransportSettings(Machine& machine) {
  TransportSettings settings;
  const bool windows7 = machine.IsWindowsVersionOrGreater(6, 1, 0) && !machine.IsWindowsVersionOrGreater(6, 2, 0);
  settings.refused = machine.IsWindowsVersionOrGreater(6, 1, 0) && !machine.IsWindowsVersionOrGreater(6, 1, 1);
  settings.accessType = windows7 ? winhttp::kAccessDefaultProxy : winhttp::kAccessAutomaticProxy;
  return settings;
}

}  // namespace zelvane
