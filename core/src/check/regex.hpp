#pragma once

// Regular expressions from contract files, evaluated with RE2: matching time is
// linear in the text whatever the pattern, so no contract can make a check
// backtrack for hours.

#include <memory>
#include <string>
#include <string_view>

#include "zoret/result.hpp"

namespace re2 {
class RE2;
}

namespace zoret::detail {

struct RegexDeleter {
  void operator()(re2::RE2* regex) const noexcept;
};

using Regex = std::unique_ptr<re2::RE2, RegexDeleter>;

/// The memory one compiled expression may use, program and matching caches
/// together.
inline constexpr long long kRegexMaxMemory = 1LL << 20;

/// `pattern` in RE2 syntax, UTF-8, case-sensitive unless it says "(?i)".
/// Errors: Contract "invalid regular expression: <RE2's description>" or
/// "regular expression too large (more than 1 MiB compiled): <pattern>".
[[nodiscard]] Result<Regex> compile_regex(std::string_view pattern);

/// Whether `regex` matches somewhere in `text` (unanchored search).
[[nodiscard]] bool regex_search(const re2::RE2& regex, std::string_view text);

}  // namespace zoret::detail
