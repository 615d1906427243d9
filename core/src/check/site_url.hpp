#pragma once

#include <string>
#include <string_view>

#include "zoret/config.hpp"
#include "zoret/result.hpp"

namespace zoret::detail {

/// The public URL of `route` under the site configuration: what a canonical
/// "self" must equal when a configuration is given. This is the one place
/// where contract checks resolve routes against a configuration.
/// Errors: those of the site's URL resolution, unchanged.
[[nodiscard]] Result<std::string> site_public_url(std::string_view route, const SEOConfig& config);

}  // namespace zoret::detail
