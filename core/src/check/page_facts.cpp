#include "zoret/check/page_facts.hpp"

#include <algorithm>
#include <utility>

#include "check/facts_view.hpp"
#include "zoret/check/route_pattern.hpp"

namespace zoret {
namespace {

void add(std::vector<MetaProperty>& out, std::string_view property, const std::string& content) {
  out.push_back({std::string(property), content});
}

void add(std::vector<MetaProperty>& out, std::string_view property,
         const std::optional<std::string>& content) {
  if (content) add(out, property, *content);
}

void add(std::vector<MetaProperty>& out, std::string_view property,
         const std::optional<std::uint32_t>& content) {
  if (content) out.push_back({std::string(property), std::to_string(*content)});
}

// The order of render_opengraph and render_twitter.
std::vector<MetaProperty> payload_properties(const SEOPayload& payload) {
  const OGPayload& og = payload.og;
  const TwitterPayload& tw = payload.twitter;
  std::vector<MetaProperty> out;
  out.reserve(20);
  add(out, "og:type", og.type);
  add(out, "og:title", og.title);
  add(out, "og:description", og.description);
  add(out, "og:url", og.url);
  add(out, "og:image", og.image);
  add(out, "og:image:width", og.image_width);
  add(out, "og:image:height", og.image_height);
  add(out, "og:image:alt", og.image_alt);
  add(out, "og:site_name", og.site_name);
  add(out, "og:locale", og.locale);
  if (og.locale_alternate) {
    for (const std::string& locale : *og.locale_alternate) add(out, "og:locale:alternate", locale);
  }
  add(out, "og:audio", og.audio);
  add(out, "og:video", og.video);
  add(out, "twitter:card", tw.card);
  add(out, "twitter:title", tw.title);
  add(out, "twitter:description", tw.description);
  add(out, "twitter:image", tw.image);
  add(out, "twitter:image:alt", tw.image_alt);
  add(out, "twitter:site", tw.site);
  add(out, "twitter:creator", tw.creator);
  return out;
}

template <class Payload>
PageFacts facts_of(Payload&& payload, std::string_view route) {
  PageFacts facts;
  facts.route = route_path(route);
  facts.title = payload.title;
  if (!payload.description.empty()) facts.description = payload.description;
  if (!payload.canonical.empty()) facts.canonical = payload.canonical;
  facts.robots = split_robots(payload.robots);
  facts.properties = payload_properties(payload);
  if (payload.schema_jsonld)
    facts.jsonld.push_back(std::forward<Payload>(payload).schema_jsonld.value());
  return facts;
}

}  // namespace

bool operator==(const PageFacts& a, const PageFacts& b) {
  return a.route == b.route && a.url == b.url && a.status == b.status && a.title == b.title &&
         a.description == b.description && a.canonical == b.canonical && a.robots == b.robots &&
         a.properties == b.properties &&
         std::equal(a.jsonld.begin(), a.jsonld.end(), b.jsonld.begin(), b.jsonld.end(),
                    [](const Json& x, const Json& y) { return json_equal(x, y); }) &&
         a.jsonld_errors == b.jsonld_errors && a.hreflang == b.hreflang &&
         a.in_sitemap == b.in_sitemap && a.redirect_url == b.redirect_url &&
         a.final_url == b.final_url;
}

std::vector<std::string> split_robots(std::string_view directives) {
  std::vector<std::string> pieces;
  detail::for_each_robots_piece(directives, [&pieces](std::string_view piece) {
    pieces.emplace_back(piece);
    return false;
  });
  return pieces;
}

PageFacts facts_from_payload(const SEOPayload& payload, std::string_view route) {
  return facts_of(payload, route);
}

PageFacts facts_from_payload(SEOPayload&& payload, std::string_view route) {
  return facts_of(std::move(payload), route);
}

}  // namespace zoret
