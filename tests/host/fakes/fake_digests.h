#pragma once
#include <openssl/evp.h>

#include "ports/digests.h"

namespace zelvane::testing {

// The digests by OpenSSL's libcrypto, so that host tests compare against real values.
class HostDigests : public Digests {
 public:
  bool fail = false;

  std::optional<Sha256Digest> Sha256(const std::string& data) override {
    if (fail) return std::nullopt;
    Sha256Digest digest{};
    return Compute(EVP_sha256(), data, digest.data()) ? std::optional<Sha256Digest>(digest) : std::nullopt;
  }
  std::optional<Md5Digest> Md5(const std::string& data) override {
    if (fail) return std::nullopt;
    Md5Digest digest{};
    return Compute(EVP_md5(), data, digest.data()) ? std::optional<Md5Digest>(digest) : std::nullopt;
  }

 private:
  static bool Compute(const EVP_MD* type, const std::string& data, unsigned char* out) {
    unsigned int size = 0;
    return EVP_Digest(data.data(), data.size(), out, &size, type, nullptr) == 1;
  }
};

}  // namespace zelvane::testing
