#pragma once

#include <span>
#include <string>
#include <string_view>

#include "zoret/result.hpp"

namespace zoret {

/// SHA-256 (FIPS 180-4) of `bytes`, written as 64 lower-case hexadecimal digits,
/// two per byte in digest order.
/// Errors: Serialization ("SHA-256 digest failed") if libcrypto reports a failure,
/// which only happens when it cannot allocate or is misconfigured.
[[nodiscard]] Result<std::string> sha256_hex(std::string_view bytes);

/// `sha256_hex` of the concatenation of `parts`, without making it.
[[nodiscard]] Result<std::string> sha256_hex(std::span<const std::string_view> parts);

}  // namespace zoret
