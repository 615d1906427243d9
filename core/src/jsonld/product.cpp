#include "zoret/jsonld/product.hpp"

#include "jsonld/members.hpp"

namespace zoret {

Json build_product(const SchemaContext& context) {
  Json out = base_schema("Product", context);
  const SEOEntity& entity = context.entity;
  if (entity.sku) out["sku"] = *entity.sku;
  if (entity.price || entity.price_currency || entity.availability) {
    Json::object_t offer;
    detail::add_last(offer, "@type", "Offer");
    if (entity.availability) {
      detail::add_last(offer, "availability", "https://schema.org/" + *entity.availability);
    }
    // The price stays text: "19.90" must not lose its trailing zero.
    if (entity.price) detail::add_last(offer, "price", *entity.price);
    if (entity.price_currency) detail::add_last(offer, "priceCurrency", *entity.price_currency);
    out["offers"] = std::move(offer);
  }
  return out;
}

}  // namespace zoret
