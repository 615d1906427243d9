#pragma once

#include <string>
#include <string_view>

#include "zoret/config.hpp"
#include "zoret/result.hpp"
#include "zoret/url/policy.hpp"
#include "zoret/url/whatwg.hpp"

namespace zoret {

/// Turns a route path or an absolute URL into the site's canonical public URL:
/// scheme from the policy (or the base URL), host exactly as configured, the path
/// placed under the base URL's path and normalised, the query filtered, no
/// fragment, port or credentials.
/// Errors: InvalidUrl "url_or_path must be a non-empty string" for blank input;
/// InvalidConfiguration "invalid public_base_url: <parser's description>" when
/// the configured base URL does not parse (checked on every call).
[[nodiscard]] Result<std::string> normalize_public_url(std::string_view url_or_path,
                                                       const SEOConfig& config);

/// The configuration's base URL parsed, for resolving several URLs against it.
/// Errors: InvalidConfiguration "invalid public_base_url: <parser's description>".
[[nodiscard]] Result<url::ParsedUrl> parse_public_base_url(const SEOConfig& config);

/// `normalize_public_url` against a base URL that `parse_public_base_url` already
/// parsed (or failed to parse) for `config`. Errors are reported in the same order.
[[nodiscard]] Result<std::string> normalize_public_url(std::string_view url_or_path,
                                                       const SEOConfig& config,
                                                       const Result<url::ParsedUrl>& base);

/// The query pairs (split at "&") that the policy keeps, joined with "&" in their
/// order and never re-encoded. Pairs with an empty raw key are always dropped; a
/// non-empty allow list keeps exactly the pairs whose decoded key it names;
/// otherwise tracking parameters go when `strip_tracking_params` is set.
[[nodiscard]] std::string filter_query(std::string_view query, const URLPolicy& policy);

}  // namespace zoret
