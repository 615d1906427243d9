#pragma once

#include <string>
#include <string_view>

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
/// atomically: readers see the old contract or the new one, never a mix, and a
/// failure (or a killed process) leaves any existing file untouched and no
/// temporary file behind. The rules of `detail::AtomicFile` apply: a symbolic
/// link is followed (a dangling one gets its target created); a replaced file
/// keeps its permission bits, a new one gets 0666 less the umask; a read-only
/// file is refused as `open` would refuse it; devices, FIFOs and files with
/// several hard links are written in place, keeping every link.
/// Errors: Serialization "failed to write contract: <description> (os error N)"
/// with the C library's description of errno N (also kept as `os_error()`), e.g.
/// "No such file or directory (os error 2)" for a missing directory, "Is a
/// directory (os error 21)" when `path` names a directory; "failed to write
/// contract: embedded null byte" for a path holding a NUL byte, before anything
/// is touched.
[[nodiscard]] Result<void> write_contract(const SEOContract& contract, std::string_view path);

}  // namespace zoret
