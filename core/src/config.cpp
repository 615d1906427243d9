#include "zoret/config.hpp"

#include "detail/record_json.hpp"

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

void write_json(JsonWriter& w, const SEOConfig& config) {
  using detail::write_optional_string;
  w.begin_object();
  w.key("canonical_host");
  w.string(config.canonical_host);
  w.key("public_base_url");
  w.string(config.public_base_url);
  w.key("url_policy");
  write_json(w, config.url_policy);
  w.key("default_robots");
  write_json(w, config.default_robots);
  if (config.default_og_image) {
    w.key("default_og_image");
    write_json(w, *config.default_og_image);
  }
  write_optional_string(w, "site_name", config.site_name);
  // Unlike the other optional texts, an absent template is written as null.
  w.key("title_template");
  if (config.title_template) {
    w.string(*config.title_template);
  } else {
    w.null();
  }
  w.key("search_robots");
  write_json(w, config.search_robots);
  w.key("schema_type_map");
  w.begin_object();
  for (const auto& [key, value] : config.schema_type_map) {
    w.key(key);
    if (value) {
      w.string(*value);
    } else {
      w.null();
    }
  }
  w.end_object();
  w.key("auto_generate_schema");
  w.boolean(config.auto_generate_schema);
  write_optional_string(w, "publisher_name", config.publisher_name);
  write_optional_string(w, "publisher_logo", config.publisher_logo);
  write_optional_string(w, "locale", config.locale);
  detail::write_optional_string_array(w, "locale_alternate", config.locale_alternate);
  write_optional_string(w, "twitter_site", config.twitter_site);
  w.key("emit_warnings");
  w.boolean(config.emit_warnings);
  write_optional_string(w, "search_url_template", config.search_url_template);
  w.end_object();
}

}  // namespace zoret
