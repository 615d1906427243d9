#pragma once

#include <span>
#include <string_view>

namespace zoret {

/// A property of a profiled node whose values are checked against profiles of
/// their own: Product's `offers` against Offer or AggregateOffer. A value
/// without "@type" is checked as the first of `types`; one of another type is
/// left alone.
struct NestedProfile {
  std::string_view property;
  std::span<const std::string_view> types;
};

/// What a rich result of one schema.org type asks of a JSON-LD node, after the
/// published structured-data documentation of the major search engine. Each
/// requirement names a property ("headline") or alternatives of which one
/// suffices ("offers|review|aggregateRating"); a dotted name looks inside the
/// value ("item.name": the object under "item" has a "name"). A property is
/// present when its value is not null, not a blank text, not an empty list and
/// not an empty object.
struct RichResultProfile {
  std::string_view type;
  /// Checked wherever such a node stands at the top of a script (the script's
  /// value, an element of a top-level list, a member of "@graph"); the others
  /// only when reached through a profiled node's `nested` property.
  bool root;
  std::span<const std::string_view> required;
  std::span<const std::string_view> recommended;
  std::span<const NestedProfile> nested;
};

/// Every profile: Article, NewsArticle, BlogPosting, Product, Offer,
/// AggregateOffer, AggregateRating, BreadcrumbList, ListItem, FAQPage, Question,
/// Answer, VideoObject, Organization, LocalBusiness, WebSite, SearchAction.
/// This table is the one place the property lists are written.
[[nodiscard]] std::span<const RichResultProfile> rich_result_profiles() noexcept;

/// The profile of `type`, compared exactly after removing a leading
/// "https://schema.org/", "http://schema.org/" or "schema:"; nullptr for a type
/// without one (subtypes such as Restaurant included).
[[nodiscard]] const RichResultProfile* find_rich_result_profile(std::string_view type) noexcept;

}  // namespace zoret
