#pragma once

// Each record class's fields, described once in the order of its constructor (or,
// for the classes only the module makes, of the restorer in zoret._zoret_site): the
// description gives its repr, its pickling arguments and, for the immutable input
// records, its hash (see frame/repr.hpp). A field left out here would be lost by
// pickling, so every field appears.

#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/repr.hpp"
#include "types/contract.hpp"
#include "types/issue.hpp"
#include "types/model.hpp"
#include "types/payload.hpp"
#include "zoret/contract/model.hpp"

namespace zoret::py {

/// The Python SEOAuthor; no core operation reads it.
struct Author {
  std::string name;
  std::optional<std::string> url;

  friend bool operator==(const Author&, const Author&) = default;
};
template <>
inline constexpr const char* kClassName<Author> = "SEOAuthor";

// SEOConfig's description reads the two Python objects beside the record.
template <>
inline constexpr const char* kClassName<ConfigObject> = "SEOConfig";

template <>
inline constexpr bool kReprAsCall<OGPayload> = false;
template <>
inline constexpr bool kReprAsCall<TwitterPayload> = false;
template <>
inline constexpr bool kReprAsCall<Issue> = false;
template <>
inline constexpr bool kReprAsCall<SEOPayload> = false;
template <>
inline constexpr bool kReprAsCall<SEOContract> = false;

/// The policy as URLPolicy(...) takes it: `trailing_slash` as its caller-facing text.
URLPolicyValue policy_value(const URLPolicy& policy);

/// The rule as SEOContractRule(...) takes it: the severity as a text that reads back
/// as the same severity.
ContractRuleArgs rule_args(const SEOContractRule& rule);

template <class V>
void describe(V& v, const SEOImage& image) {
  v.positional("url", image.url);
  v.keyword("width", image.width);
  v.keyword("height", image.height);
  v.keyword("alt", image.alt);
}

template <class V>
void describe(V& v, const Robots& robots) {
  v.keyword("index", robots.index);
  v.keyword("follow", robots.follow);
  v.keyword("max_snippet", robots.max_snippet);
  v.keyword("max_image_preview", robots.max_image_preview);
  v.keyword("max_video_preview", robots.max_video_preview);
}

template <class V>
void describe(V& v, const Breadcrumb& crumb) {
  v.positional("name", crumb.name);
  v.positional("url", crumb.url);
}

template <class V>
void describe(V& v, const FAQItem& item) {
  v.positional("question", item.question);
  v.positional("answer", item.answer);
}

template <class V>
void describe(V& v, const Author& author) {
  v.positional("name", author.name);
  v.keyword("url", author.url);
}

template <class V>
void describe(V& v, const URLPolicyValue& policy) {
  v.keyword("enforce_https", policy.enforce_https);
  v.keyword("lowercase_paths", policy.lowercase_paths);
  v.keyword("trailing_slash", policy.trailing_slash);
  v.keyword("collapse_duplicate_slashes", policy.collapse_duplicate_slashes);
  v.keyword("strip_tracking_params", policy.strip_tracking_params);
  v.keyword("allowed_query_params", policy.allowed_query_params);
  v.keyword("extra_tracking_params", policy.extra_tracking_params);
}

// The large records show only what was given.
template <class V>
void describe(V& v, const SEOEntity& e) {
  v.positional("entity_type", entity_type_name(e.entity_type));
  v.keyword_if_set("slug", e.slug);
  v.keyword_if_set("title", e.title);
  v.keyword_if_set("excerpt", e.excerpt);
  v.keyword_if_set("body_html", e.body_html);
  v.keyword_if_set("status", e.status);
  v.keyword_if_set("featured_image", e.featured_image);
  v.keyword_if_set("published_at", e.published_at);
  v.keyword_if_set("updated_at", e.updated_at);
  v.keyword_if_set("author_name", e.author_name);
  v.keyword_if_set("breadcrumbs", e.breadcrumbs);
  v.keyword_if_set("sku", e.sku);
  v.keyword_if_set("price", e.price);
  v.keyword_if_set("price_currency", e.price_currency);
  v.keyword_if_set("availability", e.availability);
  v.keyword_if_set("same_as", e.same_as);
  v.keyword_if_set("address", e.address);
  v.keyword_if_set("faq_items", e.faq_items);
}

template <class V>
void describe(V& v, const SEOOverrides& o) {
  v.keyword_if_set("meta_title", o.meta_title);
  v.keyword_if_set("meta_description", o.meta_description);
  v.keyword_if_set("canonical_url", o.canonical_url);
  v.keyword_if_set("canonical_path", o.canonical_path);
  v.keyword_if_set("robots", o.robots);
  v.keyword_if_set("og_title", o.og_title);
  v.keyword_if_set("og_description", o.og_description);
  v.keyword_if_set("og_image", o.og_image);
  v.keyword_if_set("twitter_card", o.twitter_card);
  v.keyword_if_set("twitter_title", o.twitter_title);
  v.keyword_if_set("twitter_description", o.twitter_description);
  v.keyword_if_set("twitter_image", o.twitter_image);
  if (o.schema_jsonld && o.schema_jsonld->is_null()) {
    // A present null is what the constructor keeps of a replacement that json.dumps
    // writes as NaN, and NaN is the argument that makes it again; None means absent.
    v.keyword("schema_jsonld", std::numeric_limits<double>::quiet_NaN());
  } else {
    v.keyword_if_set("schema_jsonld", o.schema_jsonld);
  }
  v.keyword_unless("omit_schema", o.omit_schema, false);
  v.keyword_unless("skip_title_template", o.skip_title_template, false);
  v.keyword_if_set("twitter_creator", o.twitter_creator);
  v.keyword_if_set("og_audio", o.og_audio);
  v.keyword_if_set("og_video", o.og_video);
}

template <class V>
void describe(V& v, const ConfigObject& config) {
  const SEOConfig& c = config.value;
  v.positional("canonical_host", c.canonical_host);
  v.positional("public_base_url", c.public_base_url);
  v.keyword_unless("url_policy", policy_value(c.url_policy), URLPolicyValue{});
  v.keyword_unless("default_robots", c.default_robots, Robots{});
  v.keyword_if_set("default_og_image", c.default_og_image);
  v.keyword_if_set("site_name", c.site_name);
  v.keyword_if_set("title_template", c.title_template);
  v.keyword_unless("search_robots", c.search_robots, default_search_robots());
  v.keyword_unless("auto_generate_schema", c.auto_generate_schema, true);
  v.keyword_if_set("publisher_name", c.publisher_name);
  v.keyword_if_set("publisher_logo", c.publisher_logo);
  v.keyword_if_set("locale", c.locale);
  v.keyword_if_set("locale_alternate", c.locale_alternate);
  v.keyword_if_set("twitter_site", c.twitter_site);
  v.keyword_unless("emit_warnings", c.emit_warnings, false);
  if (c.schema_type_map != default_schema_type_map()) {
    // The constructor takes the map as pairs, which replace the built-in map whole.
    std::vector<std::pair<std::string, std::optional<std::string>>> pairs(
        c.schema_type_map.begin(), c.schema_type_map.end());
    v.keyword("schema_type_map", pairs);
  }
  v.keyword_if_set("search_url_template", c.search_url_template);
  v.object("hooks", config.hooks);
  v.object("schema_registry", config.schema_registry);
}

template <class V>
void describe(V& v, const SEOExpectation& e) {
  v.keyword_if_set("required", e.required);
  v.keyword_if_set("forbidden", e.forbidden);
  v.keyword_if_set("equals", e.equals);
  v.keyword_if_set("not_equals", e.not_equals);
  v.keyword_if_set("contains", e.contains);
  v.keyword_if_set("matches", e.matches);
  v.keyword_if_set("one_of", e.one_of);
  v.keyword_if_set("min_length", e.min_length);
  v.keyword_if_set("max_length", e.max_length);
  v.keyword_if_set("min_items", e.min_items);
  v.keyword_if_set("max_items", e.max_items);
  v.keyword_if_set("indexable", e.indexable);
  v.keyword_if_set("canonical", e.canonical);
  // The constructor makes each of these from one flag (and the schema's types).
  if (e.schema) {
    v.keyword_if_set("schema_required", e.schema->required);
    v.keyword_if_set("schema_types", e.schema->types);
  }
  if (e.open_graph) v.keyword_if_set("og_required", e.open_graph->required);
  if (e.twitter) v.keyword_if_set("twitter_required", e.twitter->required);
  if (e.sitemap) v.keyword_if_set("sitemap_required", e.sitemap->required);
  if (e.hreflang) v.keyword_if_set("hreflang_required", e.hreflang->required);
  v.keyword_if_set("title", e.title);
  v.keyword_if_set("description", e.description);
}

template <class V>
void describe(V& v, const ContractRuleArgs& rule) {
  v.positional("match", rule.match);
  v.positional("expect", rule.expect);
  v.keyword_if_set("severity", rule.severity);
}

/// Rules and exceptions as SEOContractConfig(...) and the contract restorer take them.
inline std::vector<ContractRuleArgs> rule_args(const std::vector<SEOContractRule>& rules) {
  std::vector<ContractRuleArgs> out;
  out.reserve(rules.size());
  for (const SEOContractRule& rule : rules) out.push_back(rule_args(rule));
  return out;
}
inline std::vector<std::pair<std::string, SEOExpectation>> exception_pairs(
    const std::map<std::string, SEOExpectation>& exceptions) {
  return {exceptions.begin(), exceptions.end()};
}

template <class V>
void describe(V& v, const SEOContractConfig& c) {
  v.positional("canonical_host", c.canonical_host);
  v.keyword_unless("scheme", c.scheme, "https");
  v.keyword_unless("defaults", c.defaults, SEOExpectation{});
  if (!c.rules.empty()) v.keyword("rules", rule_args(c.rules));
  if (!c.exceptions.empty()) v.keyword("exceptions", exception_pairs(c.exceptions));
}

// --- records that only the module makes -----------------------------------------

template <class V>
void describe(V& v, const OGPayload& og) {
  v.positional("type", og.type);
  v.keyword_if_set("title", og.title);
  v.keyword_if_set("description", og.description);
  v.keyword_if_set("url", og.url);
  v.keyword_if_set("image", og.image);
  v.keyword_if_set("image_width", og.image_width);
  v.keyword_if_set("image_height", og.image_height);
  v.keyword_if_set("image_alt", og.image_alt);
  v.keyword_if_set("site_name", og.site_name);
  v.keyword_if_set("locale", og.locale);
  v.keyword_if_set("locale_alternate", og.locale_alternate);
  v.keyword_if_set("audio", og.audio);
  v.keyword_if_set("video", og.video);
}

template <class V>
void describe(V& v, const TwitterPayload& twitter) {
  v.positional("card", twitter.card);
  v.keyword_if_set("title", twitter.title);
  v.keyword_if_set("description", twitter.description);
  v.keyword_if_set("image", twitter.image);
  v.keyword_if_set("image_alt", twitter.image_alt);
  v.keyword_if_set("site", twitter.site);
  v.keyword_if_set("creator", twitter.creator);
}

template <class V>
void describe(V& v, const Issue& issue) {
  v.positional("rule_id", issue.rule_id);
  v.positional("severity", issue.severity);
  v.positional("message", issue.message);
  v.keyword("url", issue.url);
  auto details = parse_json(issue.details_json);
  v.keyword("details", details ? *details : Json::object());
}

template <class V>
void describe(V& v, const SEOContract& c) {
  v.positional("contract_version", c.contract_version);
  v.positional("generator", std::pair(c.generator.name, c.generator.version));
  v.positional("site", std::pair(c.site.canonical_host, c.site.scheme));
  v.positional("defaults", c.defaults);
  v.positional("rules", rule_args(c.rules));
  v.positional("exceptions", exception_pairs(c.exceptions));
}

/// The payload's repr only: it pickles as its JSON form.
template <class V>
void describe(V& v, const SEOPayload& p) {
  v.positional("title", p.title);
  v.positional("description", p.description);
  v.positional("canonical", p.canonical);
  v.positional("robots", p.robots);
  v.positional("og", p.og);
  v.positional("twitter", p.twitter);
  v.keyword("schema_jsonld", p.schema_jsonld);
  if (!p.extra.empty()) v.keyword("extra", Json(p.extra));
}

}  // namespace zoret::py
