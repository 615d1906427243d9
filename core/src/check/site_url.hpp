#pragma once

#include <string>
#include <string_view>

#include "zoret/check/check.hpp"
#include "zoret/result.hpp"

namespace zoret::detail {

/// The public URL of `route` under the context's site configuration (its resolver
/// when it has one): what a canonical "self" must equal when a configuration is
/// given. This is the one place where contract checks resolve routes.
/// Requires `context.site_config`. Errors: those of `PublicUrlResolver::resolve`.
[[nodiscard]] Result<std::string> site_public_url(std::string_view route,
                                                  const CheckContext& context);

}  // namespace zoret::detail
