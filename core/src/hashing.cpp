#include "zoret/hashing.hpp"

#include <openssl/evp.h>

#include "detail/ascii.hpp"

namespace zoret {
namespace {

/// SHA-256 fetched from the default provider once. EVP_sha256() would make
/// every digest look the implementation up again under a lock, which costs as
/// much as hashing a few hundred bytes; ETags are computed per request. The
/// handle lives as long as the process. Should the fetch fail, the implicit
/// lookup still works (or reports the failure itself).
const EVP_MD* sha256_md() {
  static const EVP_MD* const kFetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return kFetched != nullptr ? kFetched : EVP_sha256();
}

}  // namespace

Result<std::string> sha256_hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &digest_size, sha256_md(), nullptr) != 1) {
    return ZoretError(ErrorKind::Serialization, "SHA-256 digest failed");
  }
  std::string hex;
  hex.reserve(2 * std::size_t{digest_size});
  for (unsigned int i = 0; i < digest_size; ++i) {
    detail::append_hex_byte(hex, digest[i], detail::kLowerHexDigits);
  }
  return hex;
}

}  // namespace zoret
