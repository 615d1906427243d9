#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/result.hpp"
#include "zoret/site/url_resolver.hpp"

namespace zoret::site {

/// One language version of a page: a BCP 47 tag (or "x-default") and the route
/// or absolute URL of that version.
struct LanguageAlternate {
  std::string language;
  std::string route;
};

/// A language version after validation: canonical tag, public URL.
struct ResolvedAlternate {
  std::string language;
  std::string url;

  friend bool operator==(const ResolvedAlternate&, const ResolvedAlternate&) = default;
};

/// Canonicalises every tag (`canonical_language_tag`) and resolves every route
/// (`UrlResolver::resolve`), keeping the given order. A language may appear only
/// once (compared after canonicalisation, so "en-us" repeats "en-US"). When
/// `self_url` is given, one alternate (x-default included) must resolve to it:
/// search engines ignore hreflang sets that do not name the page itself.
/// Errors: those of `canonical_language_tag` and of the resolver; InvalidEntity
/// "language \"en-US\" appears twice in the alternates" or "the alternates do not
/// include the page itself (\"https://...\"); add it, or turn the check off".
[[nodiscard]] Result<std::vector<ResolvedAlternate>> resolve_alternates(
    std::span<const LanguageAlternate> alternates, const UrlResolver& resolver,
    std::optional<std::string_view> self_url);

struct HreflangOptions {
  /// The route of the page the links are rendered into.
  std::optional<std::string> current_route;
  /// Require that the alternates include `current_route`. A caller that opts out
  /// need not give the route.
  bool require_self_reference = true;
};

/// `<link rel="alternate" hreflang="..." href="...">` lines for the head, in the
/// given order, joined with "\n" (no final newline). No alternates give the empty
/// text, without a self-reference check: a page with no language versions is
/// in no set. Values are escaped as the head renderer escapes them
/// (`escape_html`) and each href is the resolver's URL, as the canonical link is.
/// Errors: those of `resolve_alternates`; InvalidEntity "current_route is needed
/// to check the self-reference" when the check is on and no route is given.
[[nodiscard]] Result<std::string> render_hreflang(std::span<const LanguageAlternate> alternates,
                                                  const UrlResolver& resolver,
                                                  const HreflangOptions& options);

}  // namespace zoret::site
