#include "check/facts_view.hpp"

#include "zoret/check/route_pattern.hpp"
#include "zoret/unicode.hpp"

namespace zoret::detail {
namespace {

bool is_noindex(std::string_view directive) {
  return ascii_iequals(directive, "noindex") || ascii_iequals(directive, "none");
}

unsigned open_graph_bit(std::string_view property) {
  if (property == "og:title") return OgTitle;
  if (property == "og:type") return OgType;
  if (property == "og:url") return OgUrl;
  if (property == "og:image") return OgImage;
  return 0;
}

}  // namespace

FactsView view_of(const PageFacts& facts) {
  FactsView view;
  view.route = facts.route;
  if (facts.url) view.url = &*facts.url;
  view.status = facts.status;
  view.title = facts.title;
  view.description = facts.description;
  view.canonical = facts.canonical;
  view.robots_pieces = &facts.robots;
  for (const std::string& piece : facts.robots) {
    if (is_noindex(piece)) {
      view.noindex = piece;
      break;
    }
  }
  for (const MetaProperty& p : facts.properties) {
    if (p.property == "twitter:card") {
      view.twitter_card |= !is_blank(p.content);
    } else if (const unsigned bit = open_graph_bit(p.property); bit != 0 && !is_blank(p.content)) {
      view.open_graph |= bit;
    }
  }
  view.jsonld = facts.jsonld.data();
  view.jsonld_count = facts.jsonld.size();
  view.jsonld_errors = facts.jsonld_errors.size();
  if (facts.hreflang) view.hreflang = &*facts.hreflang;
  view.in_sitemap = facts.in_sitemap;
  return view;
}

FactsView view_of(const SEOPayload& payload, std::string_view route) {
  FactsView view;
  view.route = route_path(route);
  view.title = payload.title;
  if (!payload.description.empty()) view.description = payload.description;
  if (!payload.canonical.empty()) view.canonical = payload.canonical;
  view.robots_text = payload.robots;
  for_each_robots_piece(payload.robots, [&view](std::string_view piece) {
    if (!is_noindex(piece)) return false;
    view.noindex = piece;
    return true;
  });
  const OGPayload& og = payload.og;
  if (!is_blank(og.type)) view.open_graph |= OgType;
  if (og.title && !is_blank(*og.title)) view.open_graph |= OgTitle;
  if (og.url && !is_blank(*og.url)) view.open_graph |= OgUrl;
  if (og.image && !is_blank(*og.image)) view.open_graph |= OgImage;
  view.twitter_card = !is_blank(payload.twitter.card);
  if (payload.schema_jsonld) {
    view.jsonld = &*payload.schema_jsonld;
    view.jsonld_count = 1;
  }
  return view;
}

std::string robots_display(const FactsView& facts) {
  std::string out;
  auto append = [&out](std::string_view piece) {
    if (!out.empty()) out += ", ";
    out += piece;
    return false;
  };
  if (facts.robots_pieces != nullptr) {
    for (const std::string& piece : *facts.robots_pieces) append(piece);
  } else {
    for_each_robots_piece(facts.robots_text, append);
  }
  return out;
}

}  // namespace zoret::detail
