#pragma once

#include <vector>

#include "zoret/config.hpp"
#include "zoret/entity.hpp"
#include "zoret/json.hpp"
#include "zoret/result.hpp"
#include "zoret/url/public_url.hpp"

namespace zoret {

/// A schema.org "BreadcrumbList" with one ListItem per breadcrumb, positions
/// counted from 1, each URL resolved by `resolver`.
/// Errors: the first resolution error, unchanged (InvalidUrl for an empty URL).
[[nodiscard]] Result<Json> build_breadcrumb_list(const std::vector<Breadcrumb>& breadcrumbs,
                                                 const PublicUrlResolver& resolver);

/// The same, resolving against `config`'s base URL.
[[nodiscard]] Result<Json> build_breadcrumb_list(const std::vector<Breadcrumb>& breadcrumbs,
                                                 const SEOConfig& config);

}  // namespace zoret
