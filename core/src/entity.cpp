#include "zoret/entity.hpp"

#include <array>
#include <charconv>

#include "detail/record_json.hpp"

namespace zoret {
namespace {

constexpr std::array<std::string_view, kEntityTypeCount> kNames = {
    "home",    "post",    "page",         "video",          "taxonomy", "search",
    "other",   "product", "organization", "local_business", "faq",
};

constexpr std::array<std::string_view, kEntityTypeCount> kSerialized = {
    "Home",    "Post",    "Page",         "Video",         "Taxonomy", "Search",
    "Other",   "Product", "Organization", "LocalBusiness", "Faq",
};

constexpr std::size_t index_of(EntityType type) noexcept {
  return static_cast<std::size_t>(type);
}

template <class Item>
void write_record_array(JsonWriter& w, std::string_view name,
                        const std::optional<std::vector<Item>>& items) {
  if (!items) return;
  w.key(name);
  w.begin_array();
  for (const auto& item : *items) write_json(w, item);
  w.end_array();
}

void append_decimal(std::string& out, std::int32_t n) {
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out.append(digits, end);
}

}  // namespace

Result<EntityType> entity_type_from_str(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) return static_cast<EntityType>(i);
  }
  std::string message =
      "entity_type must be one of "
      "home/post/page/video/taxonomy/search/other/product/organization/local_business/faq, "
      "got '";
  message += name;
  message += '\'';
  return ZoretError(ErrorKind::InvalidEntity, std::move(message));
}

std::string_view entity_type_name(EntityType type) noexcept {
  return kNames[index_of(type)];
}

std::string_view entity_type_serialized(EntityType type) noexcept {
  return kSerialized[index_of(type)];
}

std::string Robots::serialize() const {
  std::string out;
  out.reserve(32);
  out += index ? "index" : "noindex";
  out += follow ? ",follow" : ",nofollow";
  if (max_snippet) {
    out += ",max-snippet:";
    append_decimal(out, *max_snippet);
  }
  if (max_image_preview) {
    // Inserted verbatim, even when empty or holding a comma.
    out += ",max-image-preview:";
    out += *max_image_preview;
  }
  if (max_video_preview) {
    out += ",max-video-preview:";
    append_decimal(out, *max_video_preview);
  }
  return out;
}

void write_json(JsonWriter& w, const SEOImage& image) {
  w.begin_object();
  w.key("url");
  w.string(image.url);
  if (image.width) {
    w.key("width");
    w.uint(*image.width);
  }
  if (image.height) {
    w.key("height");
    w.uint(*image.height);
  }
  detail::write_optional_string(w, "alt", image.alt);
  w.end_object();
}

void write_json(JsonWriter& w, const Breadcrumb& crumb) {
  w.begin_object();
  w.key("name");
  w.string(crumb.name);
  w.key("url");
  w.string(crumb.url);
  w.end_object();
}

void write_json(JsonWriter& w, const FAQItem& item) {
  w.begin_object();
  w.key("question");
  w.string(item.question);
  w.key("answer");
  w.string(item.answer);
  w.end_object();
}

void write_json(JsonWriter& w, const Robots& robots) {
  w.begin_object();
  w.key("index");
  w.boolean(robots.index);
  w.key("follow");
  w.boolean(robots.follow);
  if (robots.max_snippet) {
    w.key("max_snippet");
    w.integer(*robots.max_snippet);
  }
  detail::write_optional_string(w, "max_image_preview", robots.max_image_preview);
  if (robots.max_video_preview) {
    w.key("max_video_preview");
    w.integer(*robots.max_video_preview);
  }
  w.end_object();
}

void write_json(JsonWriter& w, const SEOEntity& entity) {
  using detail::write_optional_string;
  w.begin_object();
  w.key("entity_type");
  w.string(entity_type_serialized(entity.entity_type));
  write_optional_string(w, "slug", entity.slug);
  write_optional_string(w, "title", entity.title);
  write_optional_string(w, "excerpt", entity.excerpt);
  write_optional_string(w, "body_html", entity.body_html);
  write_optional_string(w, "status", entity.status);
  if (entity.featured_image) {
    w.key("featured_image");
    write_json(w, *entity.featured_image);
  }
  write_optional_string(w, "published_at", entity.published_at);
  write_optional_string(w, "updated_at", entity.updated_at);
  write_optional_string(w, "author_name", entity.author_name);
  write_record_array(w, "breadcrumbs", entity.breadcrumbs);
  write_optional_string(w, "sku", entity.sku);
  write_optional_string(w, "price", entity.price);
  write_optional_string(w, "price_currency", entity.price_currency);
  write_optional_string(w, "availability", entity.availability);
  detail::write_optional_string_array(w, "same_as", entity.same_as);
  write_optional_string(w, "address", entity.address);
  write_record_array(w, "faq_items", entity.faq_items);
  w.end_object();
}

}  // namespace zoret
