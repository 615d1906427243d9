#pragma once

#include <string_view>

#include "zoret/json/value.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// Nesting that the parser refuses: 128 levels of arrays/objects or more.
inline constexpr int kMaxParseDepth = 128;

/// Strict RFC 8259 parser. Later duplicate keys replace earlier ones; integers
/// that fit neither 64-bit range become the nearest double; nesting of
/// `kMaxParseDepth` levels or more is refused. On failure: kind Serialization with
/// a message "<description> at line L column C", e.g. "expected value at line 1
/// column 1" or "recursion limit exceeded at line 1 column 128".
[[nodiscard]] Result<Json> parse_json(std::string_view text);

}  // namespace zoret
