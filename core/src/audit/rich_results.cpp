#include "zoret/audit/rich_results.hpp"

#include <string_view>

namespace zoret {
namespace {

// Article rich results name no required property; their documentation only
// recommends. Merchant-listing extras (gtin, shipping, return policy) are left
// out: they concern shopping feeds more than pages.
constexpr std::string_view kArticleRecommended[] = {"author", "datePublished", "dateModified",
                                                    "headline", "image"};

constexpr std::string_view kProductRequired[] = {"name", "offers|review|aggregateRating"};
constexpr std::string_view kProductRecommended[] = {"image", "description", "brand", "sku"};
constexpr std::string_view kOfferTypes[] = {"Offer", "AggregateOffer"};
constexpr std::string_view kRatingTypes[] = {"AggregateRating"};
constexpr NestedProfile kProductNested[] = {{"offers", kOfferTypes},
                                            {"aggregateRating", kRatingTypes}};

constexpr std::string_view kOfferRequired[] = {"price|priceSpecification.price",
                                               "priceCurrency|priceSpecification.priceCurrency"};
constexpr std::string_view kOfferRecommended[] = {"availability", "url"};
constexpr std::string_view kAggregateOfferRequired[] = {"lowPrice", "priceCurrency"};
constexpr std::string_view kAggregateOfferRecommended[] = {"highPrice", "offerCount"};
constexpr std::string_view kRatingRequired[] = {"ratingValue", "ratingCount|reviewCount"};

constexpr std::string_view kBreadcrumbRequired[] = {"itemListElement"};
constexpr std::string_view kListItemTypes[] = {"ListItem"};
constexpr NestedProfile kBreadcrumbNested[] = {{"itemListElement", kListItemTypes}};
// "item" is required of every crumb but the last, so it can only be recommended
// of a crumb seen on its own.
constexpr std::string_view kListItemRequired[] = {"position", "name|item.name"};
constexpr std::string_view kListItemRecommended[] = {"item"};

constexpr std::string_view kFaqRequired[] = {"mainEntity"};
constexpr std::string_view kQuestionTypes[] = {"Question"};
constexpr NestedProfile kFaqNested[] = {{"mainEntity", kQuestionTypes}};
constexpr std::string_view kQuestionRequired[] = {"name", "acceptedAnswer"};
constexpr std::string_view kAnswerTypes[] = {"Answer"};
constexpr NestedProfile kQuestionNested[] = {{"acceptedAnswer", kAnswerTypes}};
constexpr std::string_view kAnswerRequired[] = {"text"};

constexpr std::string_view kVideoRequired[] = {"name", "thumbnailUrl", "uploadDate"};
constexpr std::string_view kVideoRecommended[] = {"description", "contentUrl|embedUrl", "duration"};

constexpr std::string_view kOrganizationRecommended[] = {"name", "url", "logo", "sameAs"};

constexpr std::string_view kLocalBusinessRequired[] = {"name", "address"};
constexpr std::string_view kLocalBusinessRecommended[] = {
    "telephone", "url", "geo", "openingHoursSpecification", "priceRange"};
constexpr NestedProfile kLocalBusinessNested[] = {{"aggregateRating", kRatingTypes}};

constexpr std::string_view kWebSiteRequired[] = {"name", "url"};
constexpr std::string_view kSearchActionTypes[] = {"SearchAction"};
constexpr NestedProfile kWebSiteNested[] = {{"potentialAction", kSearchActionTypes}};
constexpr std::string_view kSearchActionRequired[] = {"target", "query-input"};

constexpr RichResultProfile kProfiles[] = {
    {"Article", true, {}, kArticleRecommended, {}},
    {"NewsArticle", true, {}, kArticleRecommended, {}},
    {"BlogPosting", true, {}, kArticleRecommended, {}},
    {"Product", true, kProductRequired, kProductRecommended, kProductNested},
    {"Offer", false, kOfferRequired, kOfferRecommended, {}},
    {"AggregateOffer", false, kAggregateOfferRequired, kAggregateOfferRecommended, {}},
    {"AggregateRating", false, kRatingRequired, {}, {}},
    {"BreadcrumbList", true, kBreadcrumbRequired, {}, kBreadcrumbNested},
    {"ListItem", false, kListItemRequired, kListItemRecommended, {}},
    {"FAQPage", true, kFaqRequired, {}, kFaqNested},
    {"Question", false, kQuestionRequired, {}, kQuestionNested},
    {"Answer", false, kAnswerRequired, {}, {}},
    {"VideoObject", true, kVideoRequired, kVideoRecommended, {}},
    {"Organization", true, {}, kOrganizationRecommended, {}},
    {"LocalBusiness", true, kLocalBusinessRequired, kLocalBusinessRecommended,
     kLocalBusinessNested},
    {"WebSite", true, kWebSiteRequired, {}, kWebSiteNested},
    {"SearchAction", false, kSearchActionRequired, {}, {}},
};

constexpr std::string_view kTypePrefixes[] = {"https://schema.org/", "http://schema.org/",
                                              "schema:"};

}  // namespace

std::span<const RichResultProfile> rich_result_profiles() noexcept { return kProfiles; }

const RichResultProfile* find_rich_result_profile(std::string_view type) noexcept {
  for (std::string_view prefix : kTypePrefixes) {
    if (type.starts_with(prefix)) {
      type.remove_prefix(prefix.size());
      break;
    }
  }
  for (const RichResultProfile& profile : kProfiles) {
    if (profile.type == type) return &profile;
  }
  return nullptr;
}

}  // namespace zoret
