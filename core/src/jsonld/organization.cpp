#include "zoret/jsonld/organization.hpp"

namespace zoret {

Result<Json> build_organization(const SchemaContext& context) {
  auto out = base_schema("Organization", context);
  if (!out) return out;
  if (const auto& same_as = context.entity.same_as) (*out)["sameAs"] = *same_as;
  // Unlike the logo inside "publisher", the organisation's own logo is kept as
  // configured, relative or not.
  if (const auto& logo = context.config.publisher_logo) (*out)["logo"] = *logo;
  return out;
}

Result<Json> build_local_business(const SchemaContext& context) {
  auto out = build_organization(context);
  if (!out) return out;
  (*out)["@type"] = "LocalBusiness";
  if (const auto& address = context.entity.address) {
    (*out)["address"] = Json::object({{"@type", "PostalAddress"}, {"streetAddress", *address}});
  }
  return out;
}

}  // namespace zoret
