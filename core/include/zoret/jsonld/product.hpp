#pragma once

#include "zoret/jsonld/schema.hpp"

namespace zoret {

/// A "Product" with "sku" and an "offers" Offer when any of price, currency or
/// availability is present. The price stays a string; availability gets the
/// "https://schema.org/" prefix unconditionally.
[[nodiscard]] Json build_product(const SchemaContext& context);

}  // namespace zoret
