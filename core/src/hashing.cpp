#include "zoret/hashing.hpp"

#include <openssl/evp.h>

namespace zoret {

Result<std::string> sha256_hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &digest_size, EVP_sha256(),
                 nullptr) != 1) {
    return ZoretError(ErrorKind::Serialization, "SHA-256 digest failed");
  }
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digest_size);
  for (unsigned int i = 0; i < digest_size; ++i) {
    hex.push_back(kHexDigits[digest[i] >> 4]);
    hex.push_back(kHexDigits[digest[i] & 0x0f]);
  }
  return hex;
}

}  // namespace zoret
