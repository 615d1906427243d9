#pragma once

#include "zoret/jsonld/schema.hpp"

namespace zoret {

/// An "Organization" with "sameAs" from the entity and the configured publisher
/// logo as a top-level "logo" (kept as configured, not made absolute).
[[nodiscard]] Json build_organization(const SchemaContext& context);

/// The organisation object typed "LocalBusiness", plus the entity's address as
/// a PostalAddress "streetAddress" (not split).
[[nodiscard]] Json build_local_business(const SchemaContext& context);

}  // namespace zoret
