#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/json.hpp"
#include "zoret/payload.hpp"

namespace zoret {

/// One `<meta property|name="..." content="...">` of the Open Graph or Twitter
/// Card vocabulary.
struct MetaProperty {
  std::string property;  ///< with its prefix: "og:title", "twitter:card"
  std::string content;

  friend bool operator==(const MetaProperty&, const MetaProperty&) = default;
};

/// One `<link rel="alternate" hreflang="..." href="...">`.
struct HreflangAlternate {
  std::string language;  ///< the hreflang value as written, "x-default" included
  std::string href;

  friend bool operator==(const HreflangAlternate&, const HreflangAlternate&) = default;
};

/// What a page says about itself: the only input of a contract check besides
/// the contract. It is filled from a payload (`facts_from_payload`) or from an
/// HTML page and its HTTP response; the checks do not know which. An absent
/// optional means "not known" or "not on the page", as documented per field.
/// Texts are UTF-8.
struct PageFacts {
  /// The route path: no scheme or host, query and fragment removed.
  std::string route;
  /// The address the page was read from, when known.
  std::optional<std::string> url;
  /// The HTTP status of the response, when known.
  std::optional<std::uint16_t> status;
  /// The text of `<title>`; absent when the page has no title element.
  std::optional<std::string> title;
  /// The content of `<meta name="description">`; absent when there is no such tag.
  std::optional<std::string> description;
  /// The href of `<link rel="canonical">`; absent when there is none.
  std::optional<std::string> canonical;
  /// The robots directives that apply to every crawler, from meta robots and
  /// then X-Robots-Tag, each piece between commas trimmed, empty pieces left
  /// out, case kept ("noindex", "max-snippet:50"). Empty when neither source
  /// gives one, which crawlers read as "index, follow".
  std::vector<std::string> robots;
  /// Open Graph and Twitter Card properties in page order; a property may occur
  /// more than once (og:locale:alternate).
  std::vector<MetaProperty> properties;
  /// The value of each JSON-LD script that parsed, in page order.
  std::vector<Json> jsonld;
  /// For each JSON-LD script that did not parse, the parser's message.
  std::vector<std::string> jsonld_errors;
  /// The hreflang alternates the page declares; absent when not known (an empty
  /// list means "known to declare none").
  std::optional<std::vector<HreflangAlternate>> hreflang;
  /// Whether the site's sitemap lists the page; absent when not known.
  std::optional<bool> in_sitemap;
  /// Where a redirect response (status 3xx) at `url` sends the client: its
  /// Location, resolved to an absolute URL; absent when the response is not a
  /// redirect or redirects were followed.
  std::optional<std::string> redirect_url;
  /// When redirects were followed: the address the page was finally read from.
  /// The status and the head are then those of that last response. Absent when
  /// redirects were not followed.
  std::optional<std::string> final_url;

  friend bool operator==(const PageFacts& a, const PageFacts& b);
};

/// The robots pieces of a comma-separated directive list, as `PageFacts::robots`
/// holds them.
[[nodiscard]] std::vector<std::string> split_robots(std::string_view directives);

/// The facts of the head that `render_html` writes for `payload`, served at
/// `route` (query and fragment are dropped): the title and canonical always
/// present (an empty canonical text counts as none), the description only when
/// not empty, the robots pieces, the Open Graph then Twitter properties in the
/// renderer's order (og:type and twitter:card always, the others when set), the
/// JSON-LD as one script. URL, status, hreflang and sitemap are not known.
[[nodiscard]] PageFacts facts_from_payload(const SEOPayload& payload, std::string_view route);

/// The same, moving the JSON-LD out of `payload` instead of copying it.
[[nodiscard]] PageFacts facts_from_payload(SEOPayload&& payload, std::string_view route);

}  // namespace zoret
