#pragma once

#include <optional>
#include <string>

#include "zoret/entity.hpp"
#include "zoret/json.hpp"

namespace zoret {

/// Values a caller imposes on one payload build, taking precedence over what the
/// entity and the configuration would give. The record checks nothing; the
/// builder vets `canonical_url` when it uses it.
struct SEOOverrides {
  std::optional<std::string> meta_title;
  std::optional<std::string> meta_description;
  /// Trusted once it parses as an absolute http(s) URL; wins over `canonical_path`.
  std::optional<std::string> canonical_url;
  std::optional<std::string> canonical_path;
  std::optional<Robots> robots;
  std::optional<std::string> og_title;
  std::optional<std::string> og_description;
  std::optional<SEOImage> og_image;
  std::optional<std::string> twitter_card;
  std::optional<std::string> twitter_title;
  std::optional<std::string> twitter_description;
  std::optional<SEOImage> twitter_image;
  /// Replaces the generated main JSON-LD. Present-but-null is distinct from absent:
  /// it is what a replacement that could not be read as JSON becomes.
  std::optional<Json> schema_jsonld;
  /// No main JSON-LD at all, neither generated nor replacement.
  bool omit_schema = false;
  bool skip_title_template = false;
  std::optional<std::string> twitter_creator;
  std::optional<std::string> og_audio;
  std::optional<std::string> og_video;
};

}  // namespace zoret
