#pragma once

// What the checks read of a page, as views into either `PageFacts` or an
// `SEOPayload`. Checking a payload through this view copies nothing, while
// `facts_from_payload` would copy every text and the JSON-LD; the two must
// agree (tests compare them).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/check/page_facts.hpp"
#include "zoret/payload.hpp"
#include "zoret/unicode.hpp"

namespace zoret::detail {

/// Bits of `FactsView::open_graph`.
enum OpenGraphBit : unsigned {
  OgTitle = 1U << 0,
  OgType = 1U << 1,
  OgUrl = 1U << 2,
  OgImage = 1U << 3,
  OgRequired = OgTitle | OgType | OgUrl | OgImage,
};

struct FactsView {
  std::string_view route;
  const std::string* url = nullptr;
  std::optional<std::uint16_t> status;
  std::optional<std::string_view> title;
  std::optional<std::string_view> description;
  std::optional<std::string_view> canonical;
  /// The first "noindex" or "none" directive (ASCII case-insensitive), if any.
  std::optional<std::string_view> noindex;
  /// Exactly one of these holds the robots directives: pieces of page facts, or
  /// the comma-separated text of a payload.
  const std::vector<std::string>* robots_pieces = nullptr;
  std::string_view robots_text;
  /// The required Open Graph properties present with non-blank content.
  unsigned open_graph = 0;
  bool twitter_card = false;
  const Json* jsonld = nullptr;
  std::size_t jsonld_count = 0;
  std::size_t jsonld_errors = 0;
  const std::vector<HreflangAlternate>* hreflang = nullptr;
  std::optional<bool> in_sitemap;
};

[[nodiscard]] FactsView view_of(const PageFacts& facts);
[[nodiscard]] FactsView view_of(const SEOPayload& payload, std::string_view route);

/// Empty or only White_Space. Most texts start with a visible ASCII character,
/// which settles it without decoding.
[[nodiscard]] inline bool is_blank(std::string_view text) noexcept {
  if (!text.empty()) {
    const auto first = static_cast<unsigned char>(text.front());
    if (first > 0x20 && first < 0x80) return false;
  }
  return trim_white_space(text).empty();
}

/// Calls `piece` for each trimmed, non-empty piece between commas, as
/// `split_robots` cuts them, until it returns true.
template <class Piece>
void for_each_robots_piece(std::string_view text, Piece&& piece) {
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view trimmed = trim_white_space(text.substr(start, comma - start));
    if (!trimmed.empty() && piece(trimmed)) return;
    start = comma + 1;
  }
}

/// The robots directives as one text, pieces joined with ", ".
[[nodiscard]] std::string robots_display(const FactsView& facts);

}  // namespace zoret::detail
