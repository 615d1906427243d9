#pragma once

#include <string>

#include "zoret/contract/model.hpp"
#include "zoret/result.hpp"

namespace zoret {

inline constexpr std::string_view kContractVersion = "1";
inline constexpr std::string_view kContractGeneratorName = "zoret";
inline constexpr std::string_view kContractGeneratorVersion = "0.2.0";

/// The contract for `config`: version "1", generator "zoret" 0.2.0, and the
/// site, defaults, rules and exceptions copied unchanged (nothing is validated,
/// merged or re-ordered).
[[nodiscard]] SEOContract build_contract(const SEOContractConfig& config);

/// The contract file text: two-space indentation, one member per line, ": "
/// after keys, no final newline.
[[nodiscard]] std::string contract_to_json(const SEOContract& contract);

/// The same document without any whitespace.
[[nodiscard]] std::string contract_to_compact_json(const SEOContract& contract);

/// SHA-256 of the UTF-8 bytes of `contract_to_json`, as 64 lower-case hex digits.
/// Errors: those of `sha256_hex`, unchanged.
[[nodiscard]] Result<std::string> contract_hash(const SEOContract& contract);

/// Writes `contract_to_json` (no newline added) to `path`, replacing the file
/// atomically: the text goes to a temporary file in the same directory, is
/// flushed to disk and renamed over `path`, so readers see the old contract or
/// the new one, never a mix, and a failure leaves any existing file untouched.
/// A replaced file keeps its permission bits; a new one gets 0666 less the
/// umask. A symbolic link at `path` is followed and its target replaced. An
/// existing target that is neither a regular file nor a directory (a device, a
/// FIFO) cannot be replaced and is written in place.
/// Errors: Serialization "failed to write contract: <description> (os error N)"
/// with the C library's description of errno N, e.g. "No such file or directory
/// (os error 2)" for a missing directory, "Is a directory (os error 21)" when
/// `path` names a directory.
[[nodiscard]] Result<void> write_contract(const SEOContract& contract,
                                          const std::string& path);

}  // namespace zoret
