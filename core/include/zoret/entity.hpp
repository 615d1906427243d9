#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/json.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// The kind of content an entity describes. The order is fixed: tables indexed
/// by the enumerator's value (names, schema dispatch) rely on it.
enum class EntityType {
  Home,
  Post,
  Page,
  Video,
  Taxonomy,
  Search,
  Other,
  Product,
  Organization,
  LocalBusiness,
  Faq,
};

inline constexpr std::size_t kEntityTypeCount = 11;

/// Parses the caller-facing name ("post", "local_business"). The match is exact:
/// no trimming, no case folding, no alternative spellings.
/// Errors: InvalidEntity for any other text.
[[nodiscard]] Result<EntityType> entity_type_from_str(std::string_view name);

/// The caller-facing name: "local_business".
[[nodiscard]] std::string_view entity_type_name(EntityType type) noexcept;

/// The form written in serialised records: "LocalBusiness".
[[nodiscard]] std::string_view entity_type_serialized(EntityType type) noexcept;

/// An image reference; nothing in it is validated.
struct SEOImage {
  std::string url;
  std::optional<std::uint32_t> width;
  std::optional<std::uint32_t> height;
  std::optional<std::string> alt;

  friend bool operator==(const SEOImage&, const SEOImage&) = default;
};

/// One step of a breadcrumb trail.
struct Breadcrumb {
  std::string name;
  std::string url;

  friend bool operator==(const Breadcrumb&, const Breadcrumb&) = default;
};

struct FAQItem {
  std::string question;
  std::string answer;

  friend bool operator==(const FAQItem&, const FAQItem&) = default;
};

/// Robots directives. A default-constructed value allows indexing and following.
struct Robots {
  bool index = true;
  bool follow = true;
  std::optional<std::int32_t> max_snippet;
  std::optional<std::string> max_image_preview;
  std::optional<std::int32_t> max_video_preview;

  /// The meta robots content, e.g. "noindex,follow,max-snippet:-1".
  [[nodiscard]] std::string serialize() const;

  friend bool operator==(const Robots&, const Robots&) = default;
};

/// One piece of content. Every field but the type is optional, and an empty
/// list is present, not absent.
struct SEOEntity {
  // Always set by whoever builds an entity; the initialiser only keeps a
  // value-less aggregate from holding an indeterminate enumerator.
  EntityType entity_type = EntityType::Other;
  std::optional<std::string> slug;
  std::optional<std::string> title;
  std::optional<std::string> excerpt;
  std::optional<std::string> body_html;
  std::optional<std::string> status;
  std::optional<SEOImage> featured_image;
  std::optional<std::string> published_at;
  std::optional<std::string> updated_at;
  std::optional<std::string> author_name;
  std::optional<std::vector<Breadcrumb>> breadcrumbs;
  std::optional<std::string> sku;
  std::optional<std::string> price;
  std::optional<std::string> price_currency;
  std::optional<std::string> availability;
  std::optional<std::vector<std::string>> same_as;
  std::optional<std::string> address;
  std::optional<std::vector<FAQItem>> faq_items;

  friend bool operator==(const SEOEntity&, const SEOEntity&) = default;
};

/// Serialised forms: members in declaration order, absent optional fields left
/// out (never null), the entity type in its serialised form.
void write_json(JsonWriter& w, const SEOImage& image);
void write_json(JsonWriter& w, const Breadcrumb& crumb);
void write_json(JsonWriter& w, const FAQItem& item);
void write_json(JsonWriter& w, const Robots& robots);
void write_json(JsonWriter& w, const SEOEntity& entity);

}  // namespace zoret
