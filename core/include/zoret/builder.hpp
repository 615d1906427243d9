#pragma once

#include <string_view>

#include "zoret/config.hpp"
#include "zoret/entity.hpp"
#include "zoret/jsonld/schema.hpp"
#include "zoret/overrides.hpp"
#include "zoret/payload.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// Resolves every field of the payload of `entity` served at `route`: each field
/// takes the first usable (non-blank after White_Space trimming) of override,
/// entity data and configuration fallback, then a built-in default. A null
/// `overrides` behaves like an empty record; `registry` supplies builders for
/// schema types without a built-in one. The inputs are only read, and the result
/// owns everything it holds. A JSON null among the JSON-LD items (an override of
/// null, or null elements of an override array) is not JSON-LD and is left out.
/// Errors, in this order: InvalidUrl when a `canonical_url` override is not an
/// absolute http(s) URL; those of `normalize_public_url` for the canonical path or
/// route; those of `build_breadcrumb_list`.
[[nodiscard]] Result<SEOPayload> build_seo_payload(const SEOEntity& entity,
                                                   std::string_view route,
                                                   const SEOConfig& config,
                                                   const SEOOverrides* overrides = nullptr,
                                                   const SchemaRegistry* registry = nullptr);

}  // namespace zoret
