#include "zoret/config.hpp"

namespace zoret {
namespace {

constexpr std::string_view kTitlePlaceholder = "{title}";

ZoretError config_error(const char* message) {
  return ZoretError(ErrorKind::InvalidConfiguration, message);
}

}  // namespace

SchemaTypeMap default_schema_type_map() {
  return {
      {"faq", "FAQPage"},
      {"home", "WebSite"},
      {"local_business", "LocalBusiness"},
      {"organization", "Organization"},
      {"page", "WebPage"},
      {"post", "Article"},
      {"product", "Product"},
      {"search", "SearchResultsPage"},
      {"taxonomy", "CollectionPage"},
      {"video", "VideoObject"},
  };
}

SEOConfig SEOConfig::make_default() {
  SEOConfig config;
  config.canonical_host = "localhost";
  config.public_base_url = "http://localhost";
  config.title_template = std::string(kTitlePlaceholder);
  return config;
}

Result<void> validate(const SEOConfig& config) {
  if (config.canonical_host.empty()) {
    return config_error("canonical_host must be a non-empty string");
  }
  // A scheme separator "://" always holds a "/", so one character scan covers it.
  if (config.canonical_host.find_first_of("/?#") != std::string::npos) {
    return config_error("canonical_host must be host-only (no scheme/path/query)");
  }
  if (config.public_base_url.empty()) {
    return config_error("public_base_url must be a non-empty string");
  }
  if (config.title_template &&
      config.title_template->find(kTitlePlaceholder) == std::string::npos) {
    return config_error("title_template must include '{title}' placeholder");
  }
  return {};
}

namespace {
// The template and the map's values are the optional texts written as null when absent.
void text_or_null(JsonWriter& w, const std::optional<std::string>& text) {
  if (text) {
    w.string(*text);
  } else {
    w.null();
  }
}
}  // namespace

void write_json(JsonWriter& w, const SEOConfig& config) {
  w.begin_object();
  w.field("canonical_host", config.canonical_host);
  w.field("public_base_url", config.public_base_url);
  w.field("url_policy", config.url_policy);
  w.field("default_robots", config.default_robots);
  w.field("default_og_image", config.default_og_image);
  w.field("site_name", config.site_name);
  w.key("title_template");
  text_or_null(w, config.title_template);
  w.field("search_robots", config.search_robots);
  w.key("schema_type_map");
  w.begin_object();
  for (const auto& [key, value] : config.schema_type_map) {
    w.key(key);
    text_or_null(w, value);
  }
  w.end_object();
  w.field("auto_generate_schema", config.auto_generate_schema);
  w.field("publisher_name", config.publisher_name);
  w.field("publisher_logo", config.publisher_logo);
  w.field("locale", config.locale);
  w.field("locale_alternate", config.locale_alternate);
  w.field("twitter_site", config.twitter_site);
  w.field("emit_warnings", config.emit_warnings);
  w.field("search_url_template", config.search_url_template);
  w.end_object();
}

}  // namespace zoret
