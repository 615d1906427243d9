#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zoret/config.hpp"
#include "zoret/error.hpp"
#include "zoret/result.hpp"
#include "zoret/url/policy.hpp"
#include "zoret/url/query_filter.hpp"

namespace zoret {

/// The schemes of the URLs a site publishes.
inline constexpr std::string_view kHttpSchemes[] = {"http", "https"};

/// Whether `scheme` is exactly "http" or "https" (a parsed scheme is lower case).
[[nodiscard]] constexpr bool is_http_scheme(std::string_view scheme) noexcept {
  for (const std::string_view http : kHttpSchemes) {
    if (scheme == http) return true;
  }
  return false;
}

/// Whether `url` begins with "http://" or "https://". A plain, case-sensitive
/// prefix test on purpose: "HTTPS://x" and "//x" do not count, and the answer
/// never depends on URL parsing.
[[nodiscard]] constexpr bool has_http_prefix(std::string_view url) noexcept {
  for (const std::string_view http : kHttpSchemes) {
    if (url.starts_with(http) && url.substr(http.size()).starts_with("://")) return true;
  }
  return false;
}

/// Resolves routes and URLs into a site's canonical public URLs. It is made once
/// from a configuration (one parse of the base URL, the query rules prepared
/// once) and then resolves any number of inputs, from any number of threads.
///
///     const PublicUrlResolver resolver(config);
///     for (const auto& route : routes) {
///       auto url = resolver.resolve(route);
///       if (!url) return url.error();
///       ...
///     }
///
/// The resolver keeps a reference to `config.canonical_host` and
/// `config.url_policy`: the configuration must outlive it and stay unchanged.
class PublicUrlResolver {
 public:
  /// Parses `config.public_base_url`. A base URL that does not parse is not an
  /// error here: it is kept and reported by every `resolve` of non-blank input.
  explicit PublicUrlResolver(const SEOConfig& config);

  /// Turns a route path or an absolute URL into the site's canonical public URL:
  /// scheme from the policy (or the base URL), host exactly as configured, the
  /// path placed under the base URL's path and normalised, the query filtered,
  /// no fragment, port or credentials.
  /// Errors, in this order: InvalidUrl "url_or_path must be a non-empty string"
  /// for blank input; InvalidConfiguration "invalid public_base_url: <parser's
  /// description>" when the base URL does not parse.
  [[nodiscard]] Result<std::string> resolve(std::string_view url_or_path) const;

  /// Why the base URL did not parse, when it did not.
  [[nodiscard]] const std::optional<ZoretError>& base_error() const noexcept { return base_error_; }

  /// Vets a URL that is taken as written (a `canonical_url` override): after
  /// White_Space trimming it must parse as an absolute URL whose scheme is http
  /// or https. Returns the trimmed text, a view into `url`; the caller's spelling
  /// is kept, not the parser's serialisation.
  /// Errors: InvalidUrl "<subject> must be an absolute URL: <parser's
  /// description>" or "<subject> must use http or https".
  [[nodiscard]] static Result<std::string_view> vet_absolute_url(std::string_view url,
                                                                 std::string_view subject);

 private:
  const std::string* host_;
  const URLPolicy* policy_;
  QueryFilter query_filter_;
  std::optional<ZoretError> base_error_;
  std::string scheme_;       // of the resolved URLs
  std::string path_prefix_;  // the base URL's path without trailing slashes
};

/// `PublicUrlResolver(config).resolve(url_or_path)`: the base URL is parsed on
/// every call, so that a bad base URL fails every call with non-blank input.
[[nodiscard]] Result<std::string> normalize_public_url(std::string_view url_or_path,
                                                       const SEOConfig& config);

}  // namespace zoret
