#include "zoret/jsonld/schema.hpp"

#include "jsonld/members.hpp"

#include <mutex>
#include <utility>

#include "zoret/jsonld/article.hpp"
#include "zoret/jsonld/faq.hpp"
#include "zoret/jsonld/organization.hpp"
#include "zoret/jsonld/product.hpp"
#include "zoret/jsonld/video.hpp"
#include "zoret/jsonld/website.hpp"
#include "zoret/url/public_url.hpp"

namespace zoret {
namespace {

using TypeBuilder = Json (*)(std::string_view, const SchemaContext&);

struct BuiltinEntry {
  std::string_view type;
  TypeBuilder build;
};

template <Json (*Build)(const SchemaContext&)>
Json ignore_type(std::string_view, const SchemaContext& context) {
  return Build(context);
}

// Searched in order; names are compared exactly, so "article" is not "Article".
constexpr BuiltinEntry kBuiltins[] = {
    {"Article", build_article},
    {"BlogPosting", build_article},
    {"NewsArticle", build_article},
    {"Product", ignore_type<build_product>},
    {"FAQPage", ignore_type<build_faq_page>},
    {"WebPage", build_website},
    {"WebSite", build_website},
    {"CollectionPage", build_website},
    {"SearchResultsPage", build_website},
    {"VideoObject", ignore_type<build_video>},
    {"Organization", ignore_type<build_organization>},
    {"LocalBusiness", ignore_type<build_local_business>},
};

}  // namespace

void SchemaRegistry::insert(std::string type_name, Builder builder) {
  ZORET_ASSERT(builder);
  if (!builder) return;
  auto shared = std::make_shared<const Builder>(std::move(builder));
  std::unique_lock lock(mutex_);
  builders_.insert_or_assign(std::move(type_name), std::move(shared));
}

bool SchemaRegistry::has(std::string_view type_name) const {
  std::shared_lock lock(mutex_);
  return builders_.find(type_name) != builders_.end();
}

std::vector<std::string> SchemaRegistry::list_types() const {
  std::shared_lock lock(mutex_);
  std::vector<std::string> names;
  names.reserve(builders_.size());
  for (const auto& entry : builders_) names.push_back(entry.first);
  return names;
}

std::shared_ptr<const SchemaRegistry::Builder> SchemaRegistry::find(
    std::string_view type_name) const {
  std::shared_lock lock(mutex_);
  auto it = builders_.find(type_name);
  return it == builders_.end() ? nullptr : it->second;
}

std::optional<Json> SchemaRegistry::build(std::string_view type_name,
                                          const SchemaContext& context) const {
  // The handle is taken under the lock and called after it is released, so a slow
  // builder never blocks insertions and a builder may use the registry itself.
  auto builder = find(type_name);
  if (!builder) return std::nullopt;
  return (*builder)(context);
}

std::optional<Json> build_schema(const SchemaContext& context) {
  const SchemaTypeMap& map = context.config.schema_type_map;
  // Entity type names are short enough for the small-string buffer: no allocation.
  const auto it = map.find(std::string(entity_type_name(context.entity.entity_type)));
  if (it == map.end() || !it->second) return std::nullopt;
  const std::string_view type = *it->second;

  for (const BuiltinEntry& entry : kBuiltins) {
    if (entry.type == type) return entry.build(type, context);
  }
  if (context.registry) {
    if (auto registered = context.registry->build(type, context)) return registered;
  }
  return build_website(type, context);
}

Json base_schema(std::string_view type, const SchemaContext& context) {
  const SEOEntity& entity = context.entity;
  const SEOConfig& config = context.config;
  // Members are emplaced into the maps directly, here and in the type builders:
  // Json::object({...}) first makes each key-value pair an array of its own,
  // which cost more than the rest of a page build.
  using detail::add_last;
  Json::object_t out;
  add_last(out, "@context", "https://schema.org");
  add_last(out, "@type", std::string(type));
  if (entity.author_name) {
    Json::object_t author;
    add_last(author, "@type", "Person");
    add_last(author, "name", *entity.author_name);
    add_last(out, "author", std::move(author));
  }
  if (entity.updated_at) add_last(out, "dateModified", *entity.updated_at);
  if (entity.published_at) add_last(out, "datePublished", *entity.published_at);
  if (context.description) add_last(out, "description", std::string(*context.description));
  if (context.image) add_last(out, "image", absolutize_schema_url(*context.image, config));
  add_last(out, "name", std::string(context.name));
  if (config.publisher_name) {
    Json::object_t publisher;
    add_last(publisher, "@type", "Organization");
    if (config.publisher_logo) {
      add_last(publisher, "logo", absolutize_schema_url(*config.publisher_logo, config));
    }
    add_last(publisher, "name", *config.publisher_name);
    add_last(out, "publisher", std::move(publisher));
  }
  add_last(out, "url", std::string(context.url));
  return Json(std::move(out));
}

std::string absolutize_schema_url(std::string_view url, const SEOConfig& config) {
  // Deliberately a plain prefix test: "HTTPS://x" counts as relative and is glued
  // to the base like any other reference.
  if (has_http_prefix(url)) return std::string(url);
  std::string_view base = config.public_base_url;
  while (!base.empty() && base.back() == '/') base.remove_suffix(1);
  std::string out;
  out.reserve(base.size() + url.size());
  out.append(base);
  out.append(url);
  return out;
}

}  // namespace zoret
