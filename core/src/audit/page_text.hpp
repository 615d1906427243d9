#pragma once

// What the audit reads of a page's texts and robots directives, shared by the
// page rules and the summaries so that both see the same page.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/unicode.hpp"

namespace zoret::detail {

/// A directive "noindex" or "none" (ASCII case ignored) is among `robots`.
[[nodiscard]] inline bool has_noindex(const std::vector<std::string>& robots) noexcept {
  for (const std::string& piece : robots) {
    if (ascii_iequals(piece, "noindex") || ascii_iequals(piece, "none")) return true;
  }
  return false;
}

/// The text without White_Space at either end; absent when missing or blank.
[[nodiscard]] inline std::optional<std::string_view> visible_view(
    const std::optional<std::string>& text) noexcept {
  if (!text) return std::nullopt;
  const std::string_view trimmed = trim_white_space(*text);
  if (trimmed.empty()) return std::nullopt;
  return trimmed;
}

[[nodiscard]] inline std::optional<std::string> visible_text(
    const std::optional<std::string>& text) {
  const auto view = visible_view(text);
  if (!view) return std::nullopt;
  return std::string(*view);
}

}  // namespace zoret::detail
