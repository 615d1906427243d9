#include "zoret/site/hreflang.hpp"

#include <utility>

#include "site/text_checks.hpp"
#include "zoret/render.hpp"
#include "zoret/site/language_tag.hpp"

namespace zoret::site {

Result<std::vector<ResolvedAlternate>> resolve_alternates(
    std::span<const LanguageAlternate> alternates, const UrlResolver& resolver,
    std::optional<std::string_view> self_url) {
  std::vector<ResolvedAlternate> out;
  out.reserve(alternates.size());
  bool has_self = false;
  for (const LanguageAlternate& alternate : alternates) {
    auto language = canonical_language_tag(alternate.language);
    if (!language) return std::move(language).error();
    // Sets are a handful of languages; a linear scan beats building an index.
    for (const ResolvedAlternate& seen : out) {
      if (seen.language == *language) {
        return ZoretError(ErrorKind::InvalidEntity, "language " + detail::quoted(*language) +
                                                        " appears twice in the alternates");
      }
    }
    auto url = resolver.resolve(alternate.route);
    if (!url) return std::move(url).error();
    has_self = has_self || (self_url && *url == *self_url);
    out.push_back({*std::move(language), *std::move(url)});
  }
  if (self_url && !has_self) {
    return ZoretError(ErrorKind::InvalidEntity, "the alternates do not include the page itself (" +
                                                    detail::quoted(*self_url) +
                                                    "); add it, or turn the check off");
  }
  return out;
}

Result<std::string> render_hreflang(std::span<const LanguageAlternate> alternates,
                                    const UrlResolver& resolver, const HreflangOptions& options) {
  // A page without language versions has no set to be part of.
  if (alternates.empty()) return std::string();
  std::optional<std::string> self_url;
  if (options.require_self_reference) {
    if (!options.current_route) {
      return ZoretError(ErrorKind::InvalidEntity,
                        "current_route is needed to check the self-reference");
    }
    auto url = resolver.resolve(*options.current_route);
    if (!url) return std::move(url).error();
    self_url = *std::move(url);
  }
  auto resolved = resolve_alternates(alternates, resolver, self_url);
  if (!resolved) return std::move(resolved).error();

  std::string out;
  for (const ResolvedAlternate& alternate : *resolved) {
    if (!out.empty()) out += '\n';
    out += R"(<link rel="alternate" hreflang=")";
    append_escaped_html(out, alternate.language);
    out += R"(" href=")";
    append_escaped_html(out, alternate.url);
    out += "\">";
  }
  return out;
}

}  // namespace zoret::site
