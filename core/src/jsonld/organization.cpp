#include "zoret/jsonld/organization.hpp"

namespace zoret {

Json build_organization(const SchemaContext& context) {
  Json out = base_schema("Organization", context);
  if (const auto& same_as = context.entity.same_as) out["sameAs"] = *same_as;
  // Unlike the logo inside "publisher", the organisation's own logo is kept as
  // configured, relative or not.
  if (const auto& logo = context.config.publisher_logo) out["logo"] = *logo;
  return out;
}

Json build_local_business(const SchemaContext& context) {
  Json out = build_organization(context);
  out["@type"] = "LocalBusiness";
  if (const auto& address = context.entity.address) {
    out["address"] = Json::object({{"@type", "PostalAddress"}, {"streetAddress", *address}});
  }
  return out;
}

}  // namespace zoret
