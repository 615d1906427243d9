#include "zoret/builder.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zoret/jsonld/breadcrumbs.hpp"
#include "zoret/text.hpp"
#include "zoret/unicode.hpp"
#include "zoret/url/public_url.hpp"

namespace zoret {
namespace {

constexpr std::string_view kDefaultTitle = "Untitled";
constexpr std::string_view kTitlePlaceholder = "{title}";
constexpr std::string_view kDefaultCard = "summary_large_image";
constexpr std::string_view kPublishedStatus = "published";

// Candidates are views into the caller's records and the payload under
// construction; nothing is copied until a winner is known.
using Text = std::optional<std::string_view>;

Text candidate(std::string_view text) noexcept {
  const std::string_view trimmed = trim_white_space(text);
  if (trimmed.empty()) return std::nullopt;
  return trimmed;
}

Text candidate(const std::optional<std::string>& text) noexcept {
  return text ? candidate(std::string_view(*text)) : std::nullopt;
}

Text candidate(const Text& text) noexcept {
  return text ? candidate(*text) : std::nullopt;
}

/// The trimmed form of the first candidate that is present and not blank.
template <class... Candidates>
Text first_usable(const Candidates&... candidates) noexcept {
  Text found;
  static_cast<void>((... || (found = candidate(candidates)).has_value()));
  return found;
}

std::optional<std::string> to_owned(const Text& text) {
  if (!text) return std::nullopt;
  return std::string(*text);
}

const SEOOverrides& no_overrides() {
  static const SEOOverrides kNone;
  return kNone;
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size() + to.size());
  std::size_t start = 0;
  for (std::size_t hit; (hit = text.find(from, start)) != std::string_view::npos;
       start = hit + from.size()) {
    out.append(text, start, hit - start);
    out.append(to);
  }
  out.append(text, start);
  return out;
}

std::string resolve_title(const SEOEntity& entity, const SEOConfig& config,
                          const SEOOverrides& overrides) {
  const std::string_view base =
      first_usable(overrides.meta_title, entity.title).value_or(kDefaultTitle);
  // The template itself is not trimmed: blanks around the placeholder stay.
  if (!config.title_template || overrides.skip_title_template) return std::string(base);
  return replace_all(*config.title_template, kTitlePlaceholder, base);
}

std::string resolve_description(const SEOEntity& entity, const SEOOverrides& overrides) {
  if (const Text text = first_usable(overrides.meta_description, entity.excerpt)) {
    return std::string(*text);
  }
  // The snippet is the last candidate, so cutting it only when nothing earlier is
  // usable cannot change the outcome and spares the HTML scan on most pages.
  if (!entity.body_html) return {};
  auto snippet = build_description_snippet(std::string_view(*entity.body_html),
                                           kDescriptionSnippetMaxChars);
  if (!snippet) return {};
  const Text text = candidate(std::string_view(*snippet));
  if (!text) return {};
  if (text->size() == snippet->size()) return *std::move(snippet);
  return std::string(*text);
}

Result<std::string> resolve_canonical(std::string_view route, const PublicUrlResolver& resolver,
                                      const SEOOverrides& overrides) {
  if (overrides.canonical_url) {
    // Trusted as written: no policy or tracking filter applies.
    auto vetted =
        PublicUrlResolver::vet_absolute_url(*overrides.canonical_url, "canonical_url override");
    if (!vetted) return std::move(vetted).error();
    return std::string(*vetted);
  }
  // A present canonical_path wins even when empty, and then fails as empty input.
  const std::string_view path =
      overrides.canonical_path ? std::string_view(*overrides.canonical_path) : route;
  return resolver.resolve(path);
}

std::string resolve_robots(const SEOEntity& entity, const SEOConfig& config,
                           const SEOOverrides& overrides) {
  if (overrides.robots) return overrides.robots->serialize();
  if (entity.entity_type == EntityType::Search) return config.search_robots.serialize();
  if (!entity.status) return config.default_robots.serialize();
  // A status decides indexing outright; the configured limits do not apply. The
  // comparison is byte-exact apart from ASCII case: " published" is not published.
  Robots rules;
  rules.index = ascii_iequals(*entity.status, kPublishedStatus);
  return rules.serialize();
}

const SEOImage* first_image(const std::optional<SEOImage>& a, const std::optional<SEOImage>& b,
                            const std::optional<SEOImage>& c) noexcept {
  if (a) return &*a;
  if (b) return &*b;
  if (c) return &*c;
  return nullptr;
}

/// The main schema spread into `items`, then the breadcrumb list, reduced to
/// nothing, the one element, or the array of all. Null items are left out.
Result<std::optional<Json>> resolve_jsonld(const SEOEntity& entity, const SEOConfig& config,
                                           const SEOOverrides& overrides,
                                           const SchemaContext& context,
                                           const PublicUrlResolver& resolver) {
  std::optional<Json> main;
  if (overrides.omit_schema) {
  } else if (overrides.schema_jsonld) {
    main = *overrides.schema_jsonld;
  } else if (config.auto_generate_schema) {
    main = build_schema(context);
  }

  Json::array_t items;
  if (main) {
    if (main->is_array()) {
      items = std::move(*main->get_ptr<Json::array_t*>());
    } else {
      items.push_back(*std::move(main));
    }
    // Only an override can hold null (NaN converts to it). A null is no JSON-LD
    // (JSON-LD processors drop it too): kept, it rendered as a script holding
    // "null", and since the dictionary form reads null back as no JSON-LD, the
    // payload changed in any hook step, and with it the ETag.
    std::erase_if(items, [](const Json& item) { return item.is_null(); });
  }
  // Breadcrumbs are added whatever happened to the main schema, omitted included.
  if (entity.breadcrumbs) {
    auto list = build_breadcrumb_list(*entity.breadcrumbs, resolver);
    if (!list) return std::move(list).error();
    items.push_back(*std::move(list));
  }

  if (items.empty()) return std::optional<Json>();
  if (items.size() == 1) return std::optional<Json>(std::move(items.front()));
  return std::optional<Json>(Json(std::move(items)));
}

}  // namespace

Result<SEOPayload> build_seo_payload(const SEOEntity& entity, std::string_view route,
                                     const SEOConfig& config, const SEOOverrides* overrides,
                                     const SchemaRegistry* registry) {
  const SEOOverrides& ov = overrides ? *overrides : no_overrides();
  // One parse of the base URL serves the canonical URL and every breadcrumb.
  const PublicUrlResolver resolver(config);
  SEOPayload payload;

  payload.title = resolve_title(entity, config, ov);
  payload.description = resolve_description(entity, ov);
  {
    auto canonical = resolve_canonical(route, resolver, ov);
    if (!canonical) return std::move(canonical).error();
    payload.canonical = *std::move(canonical);
  }
  payload.robots = resolve_robots(entity, config, ov);

  const SEOImage* og_image = first_image(ov.og_image, entity.featured_image, config.default_og_image);
  const SEOImage* twitter_image = ov.twitter_image ? &*ov.twitter_image : og_image;

  const Text og_title = first_usable(ov.og_title, std::string_view(payload.title));
  const Text og_description =
      first_usable(ov.og_description, std::string_view(payload.description));
  const Text twitter_title = first_usable(ov.twitter_title, og_title);
  const Text twitter_description = first_usable(ov.twitter_description, og_description);
  const Text card = first_usable(ov.twitter_card);

  OGPayload& og = payload.og;
  const bool is_article =
      entity.entity_type == EntityType::Post || entity.entity_type == EntityType::Video;
  og.type = is_article ? "article" : "website";
  og.title = to_owned(og_title);
  og.description = to_owned(og_description);
  og.url = payload.canonical;
  if (og_image) {
    og.image = og_image->url;
    og.image_width = og_image->width;
    og.image_height = og_image->height;
    og.image_alt = og_image->alt;
  }
  og.site_name = config.site_name;
  og.locale = config.locale;
  og.locale_alternate = config.locale_alternate;
  og.audio = ov.og_audio;
  og.video = ov.og_video;

  TwitterPayload& twitter = payload.twitter;
  twitter.card = card.value_or(kDefaultCard);
  twitter.title = to_owned(twitter_title);
  twitter.description = to_owned(twitter_description);
  if (twitter_image) {
    twitter.image = twitter_image->url;
    twitter.image_alt = twitter_image->alt;
  }
  twitter.site = config.twitter_site;
  twitter.creator = ov.twitter_creator;

  const SchemaContext context{
      .entity = entity,
      .config = config,
      .url = payload.canonical,
      .name = payload.title,
      .description = std::string_view(payload.description),
      .image = og_image ? Text(og_image->url) : std::nullopt,
      .registry = registry,
  };
  auto jsonld = resolve_jsonld(entity, config, ov, context, resolver);
  if (!jsonld) return std::move(jsonld).error();
  payload.schema_jsonld = *std::move(jsonld);
  return payload;
}

}  // namespace zoret
