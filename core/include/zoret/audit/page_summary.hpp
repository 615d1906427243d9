#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zoret/check/page_facts.hpp"

namespace zoret {

/// One hreflang alternate of a summary: the language as written, the href
/// resolved (see `PageSummary`).
struct SummaryAlternate {
  std::string language;
  std::string href;

  friend auto operator<=>(const SummaryAlternate&, const SummaryAlternate&) = default;
};

/// What the site-wide rules need of one page, and nothing else: a few hundred
/// bytes, so that the summaries of a whole site fit in memory while the pages
/// themselves never have to. Addresses are resolved once, here, where the page
/// is read: an absolute http(s) URL in the URL Standard's serialisation without
/// fragment ("HTTPS://Example.com" gives "https://example.com/"), or, for a
/// reference written relative, the path on the site it resolves to against the
/// route ("/a/b?c"). Audit findings name a page by its resolved URL.
struct PageSummary {
  std::string route;
  /// Resolved; a text that is not an absolute http(s) URL is kept as it is.
  std::optional<std::string> url;
  std::optional<std::uint16_t> status;
  /// As the facts give it: findings only quote it.
  std::optional<std::string> redirect_url;
  /// Resolved, and only when it is another address than `url`.
  std::optional<std::string> final_url;
  /// Absent when the page has none, or one that is not an http(s) URL or a
  /// relative reference.
  std::optional<std::string> canonical;
  /// A robots directive is "noindex" or "none".
  bool noindex = false;
  /// Trimmed of White_Space; absent when missing or blank.
  std::optional<std::string> title;
  std::optional<std::string> description;
  /// Alternates whose href resolves; absent when the facts do not say.
  std::optional<std::vector<SummaryAlternate>> hreflang;
  std::optional<bool> in_sitemap;

  /// The page answered with a redirect (status 3xx, or a redirect URL), or its
  /// head was read at another address after following redirects.
  [[nodiscard]] bool redirected() const noexcept {
    return (status && *status >= 300 && *status <= 399) || redirect_url || final_url;
  }
  /// Its head is the page's own: not redirected, status 2xx or not known.
  [[nodiscard]] bool has_own_head() const noexcept {
    return !redirected() && (!status || (*status >= 200 && *status <= 299));
  }

  friend auto operator<=>(const PageSummary&, const PageSummary&) = default;
};

/// The summary of one page's facts.
[[nodiscard]] PageSummary page_summary(const PageFacts& facts);

}  // namespace zoret
