#pragma once

#include "zoret/jsonld/schema.hpp"

namespace zoret {

/// An "FAQPage" whose "mainEntity" holds one Question per FAQ item, in order.
[[nodiscard]] Json build_faq_page(const SchemaContext& context);

}  // namespace zoret
