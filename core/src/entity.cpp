#include "zoret/entity.hpp"

#include <array>

#include "detail/ascii.hpp"

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
    detail::append_decimal(out, *max_snippet);
  }
  if (max_image_preview) {
    // Inserted verbatim, even when empty or holding a comma.
    out += ",max-image-preview:";
    out += *max_image_preview;
  }
  if (max_video_preview) {
    out += ",max-video-preview:";
    detail::append_decimal(out, *max_video_preview);
  }
  return out;
}

void write_json(JsonWriter& w, const SEOImage& image) {
  w.begin_object();
  w.field("url", image.url);
  w.field("width", image.width);
  w.field("height", image.height);
  w.field("alt", image.alt);
  w.end_object();
}

void write_json(JsonWriter& w, const Breadcrumb& crumb) {
  w.begin_object();
  w.field("name", crumb.name);
  w.field("url", crumb.url);
  w.end_object();
}

void write_json(JsonWriter& w, const FAQItem& item) {
  w.begin_object();
  w.field("question", item.question);
  w.field("answer", item.answer);
  w.end_object();
}

void write_json(JsonWriter& w, const Robots& robots) {
  w.begin_object();
  w.field("index", robots.index);
  w.field("follow", robots.follow);
  w.field("max_snippet", robots.max_snippet);
  w.field("max_image_preview", robots.max_image_preview);
  w.field("max_video_preview", robots.max_video_preview);
  w.end_object();
}

void write_json(JsonWriter& w, const SEOEntity& entity) {
  w.begin_object();
  w.field("entity_type", entity_type_serialized(entity.entity_type));
  w.field("slug", entity.slug);
  w.field("title", entity.title);
  w.field("excerpt", entity.excerpt);
  w.field("body_html", entity.body_html);
  w.field("status", entity.status);
  w.field("featured_image", entity.featured_image);
  w.field("published_at", entity.published_at);
  w.field("updated_at", entity.updated_at);
  w.field("author_name", entity.author_name);
  w.field("breadcrumbs", entity.breadcrumbs);
  w.field("sku", entity.sku);
  w.field("price", entity.price);
  w.field("price_currency", entity.price_currency);
  w.field("availability", entity.availability);
  w.field("same_as", entity.same_as);
  w.field("address", entity.address);
  w.field("faq_items", entity.faq_items);
  w.end_object();
}

}  // namespace zoret
