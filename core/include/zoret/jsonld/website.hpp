#pragma once

#include <string_view>

#include "zoret/jsonld/schema.hpp"

namespace zoret {

/// The base object with `type` as "@type". For "WebSite" only, a configured
/// search URL template that contains "{search_term_string}" adds a
/// "potentialAction" SearchAction; otherwise the search action is silently left
/// out. Also the fallback for type names without a builder.
[[nodiscard]] Json build_website(std::string_view type, const SchemaContext& context);

}  // namespace zoret
