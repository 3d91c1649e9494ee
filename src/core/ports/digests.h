#pragma once
// Message digests computed by the platform's cryptographic provider.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zelvane {

using Sha256Digest = std::array<std::uint8_t, 32>;
using Md5Digest = std::array<std::uint8_t, 16>;

class Digests {
 public:
  virtual ~Digests() = default;
  // The digest of the bytes of `data`; nothing when the provider fails.
  virtual std::optional<Sha256Digest> Sha256(const std::string& data) = 0;
  virtual std::optional<Md5Digest> Md5(const std::string& data) = 0;
};

}  // namespace zelvane
