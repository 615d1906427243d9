#pragma once

#include <string_view>

#include "zoret/jsonld/schema.hpp"

namespace zoret {

/// The base object with `type` as "@type" plus "mainEntityOfPage": {"@id": url}.
[[nodiscard]] Json build_article(std::string_view type, const SchemaContext& context);

}  // namespace zoret
