#pragma once
#include "ports/digests.h"

namespace zelvane::win32 {

// SHA-256 by CNG (BCrypt), MD5 by the CryptoAPI base provider.
class SystemDigests : public Digests {
 public:
  std::optional<Sha256Digest> Sha256(const std::string& data) override;
  std::optional<Md5Digest> Md5(const std::string& data) override;
};

}  // namespace zelvane::win32
