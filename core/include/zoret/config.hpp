#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "zoret/entity.hpp"
#include "zoret/json.hpp"
#include "zoret/result.hpp"
#include "zoret/url/policy.hpp"

namespace zoret {

/// Entity type name ("post") to schema.org type ("Article"), ordered by key. A
/// value may be absent, although neither the built-in map nor callers produce one.
using SchemaTypeMap = std::map<std::string, std::optional<std::string>>;

/// A new copy of the built-in map: ten entries, every entity type but "other".
[[nodiscard]] SchemaTypeMap default_schema_type_map();

/// Robots for search-result pages unless configured: index off, follow on.
[[nodiscard]] inline Robots default_search_robots() {
  Robots robots;
  robots.index = false;
  return robots;
}

/// Site-wide configuration read by every payload build. Texts are kept exactly
/// as given. A value-initialised record holds the default policy, both default
/// robots and the built-in schema map, but no host, base URL or title template;
/// `make_default()` fills those in too.
struct SEOConfig {
  std::string canonical_host;
  std::string public_base_url;
  URLPolicy url_policy;
  Robots default_robots;
  std::optional<SEOImage> default_og_image;
  std::optional<std::string> site_name;
  std::optional<std::string> title_template;
  Robots search_robots = default_search_robots();
  SchemaTypeMap schema_type_map = default_schema_type_map();
  bool auto_generate_schema = true;
  std::optional<std::string> publisher_name;
  std::optional<std::string> publisher_logo;
  std::optional<std::string> locale;
  std::optional<std::vector<std::string>> locale_alternate;
  std::optional<std::string> twitter_site;
  bool emit_warnings = false;
  std::optional<std::string> search_url_template;

  /// The core default: host "localhost", base "http://localhost", title
  /// template "{title}", everything else as value-initialised.
  [[nodiscard]] static SEOConfig make_default();
};

/// Checks, in this order: a non-empty host, a host without scheme, path, query
/// or fragment, a non-empty base URL, and a title template (when present) that
/// holds "{title}". Reports the first failure only.
/// Errors: InvalidConfiguration.
[[nodiscard]] Result<void> validate(const SEOConfig& config);

/// Serialised form: fields in declaration order; `title_template` always written
/// (null when absent), the map's absent values as null, other absent fields
/// left out.
void write_json(JsonWriter& w, const SEOConfig& config);

}  // namespace zoret
