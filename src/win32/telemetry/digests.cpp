#include "telemetry/digests.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <stdexcept>

#include "common/handles.h"

namespace zelvane::win32 {

namespace {

struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using UniqueAlgorithm = UniqueHandle<AlgorithmTraits>;
using UniqueBcryptHash = UniqueHandle<NullInvalidTraits<BCRYPT_HASH_HANDLE, &::BCryptDestroyHash>>;

struct CryptProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle Invalid() { return 0; }
  static bool Valid(Handle h) { return h != 0; }
  static void Close(Handle h) { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
  using Handle = HCRYPTHASH;
  static Handle Invalid() { return 0; }
  static bool Valid(Handle h) { return h != 0; }
  static void Close(Handle h) { ::CryptDestroyHash(h); }
};
using UniqueCryptProvider = UniqueHandle<CryptProviderTraits>;
using UniqueCryptHash = UniqueHandle<CryptHashTraits>;

// The CryptoAPI steps in order; a failing step raises its own error after releasing what was acquired.
Md5Digest CryptoApiMd5(const std::string& data) {
  UniqueCryptProvider provider;
  if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    throw std::runtime_error("CryptAcquireContext failed");
  }
  UniqueCryptHash hash;
  if (!::CryptCreateHash(provider.get(), CALG_MD5, 0, 0, hash.put())) throw std::runtime_error("CryptCreateHash failed");
  if (!::CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()), 0)) {
    throw std::runtime_error("CryptHashData failed");
  }
  Md5Digest digest{};
  DWORD size = static_cast<DWORD>(digest.size());
  if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0) || size != digest.size()) {
    throw std::runtime_error("CryptGetHashParam failed");
  }
  return digest;
}

}  // namespace

std::optional<Sha256Digest> SystemDigests::Sha256(const std::string& data) {
  UniqueAlgorithm algorithm;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return std::nullopt;
  }
  UniqueBcryptHash hash;
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) return std::nullopt;
  // BCryptHashData takes a non-const pointer but only reads.
  auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(data.data()));
  if (!BCRYPT_SUCCESS(::BCryptHashData(hash.get(), bytes, static_cast<ULONG>(data.size()), 0))) return std::nullopt;
  Sha256Digest digest{};
  if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
    return std::nullopt;
  }
  return digest;
}

std::optional<Md5Digest> SystemDigests::Md5(const std::string& data) {
  try {
    return CryptoApiMd5(data);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

}  // namespace zelvane::win32
