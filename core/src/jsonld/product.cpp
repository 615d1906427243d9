#include "zoret/jsonld/product.hpp"

namespace zoret {

Json build_product(const SchemaContext& context) {
  Json out = base_schema("Product", context);
  const SEOEntity& entity = context.entity;
  if (entity.sku) out["sku"] = *entity.sku;
  if (entity.price || entity.price_currency || entity.availability) {
    Json::object_t offer;
    offer.emplace("@type", "Offer");
    // The price stays text: "19.90" must not lose its trailing zero.
    if (entity.price) offer.emplace("price", *entity.price);
    if (entity.price_currency) offer.emplace("priceCurrency", *entity.price_currency);
    if (entity.availability) offer.emplace("availability", "https://schema.org/" + *entity.availability);
    out["offers"] = std::move(offer);
  }
  return out;
}

}  // namespace zoret
