#pragma once
// What the HTTPS JSON POST decides from the Windows version before it opens a session.

#include <cstdint>

#include "ports/machine.h"

namespace zelvane {

namespace winhttp {
constexpr std::uint32_t kAccessDefaultProxy = 0;
constexpr std::uint32_t kAccessAutomaticProxy = 4;
// Secure protocols: TLS 1.2, and TLS 1.3 where the system accepts it.
constexpr std::uint32_t kTls12 = 0x0800;
constexpr std::uint32_t kTls13 = 0x2000;
}  // namespace winhttp

struct TransportSettings {
  // Windows 7 without Service Pack 1: no request is made.
  bool refused = false;
  // The default proxy on Windows 7, the automatic proxy on every later system.
  std::uint32_t accessType = winhttp::kAccessAutomaticProxy;
};

TransportSettings ChooseTransportSettings(Machine& machine);

}  // namespace zelvane
