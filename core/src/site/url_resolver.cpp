#include "zoret/site/url_resolver.hpp"

#include <utility>

#include "site/text_checks.hpp"
#include "zoret/unicode.hpp"

namespace zoret::site {

UrlResolver::UrlResolver(SEOConfig config)
    : config_(std::make_unique<const SEOConfig>(std::move(config))), resolver_(*config_) {}

Result<std::string> UrlResolver::resolve(std::string_view route_or_url) const {
  // The path normaliser reads code points and needs well-formed text.
  if (!is_valid_utf8(route_or_url)) {
    return ZoretError(ErrorKind::InvalidUrl, "url_or_path must be valid UTF-8");
  }
  return resolver_.resolve(route_or_url);
}

Result<std::string> UrlResolver::resolve_file(std::string_view path) const {
  auto url = resolve(path);
  if (!url || config_->url_policy.trailing_slash != TrailingSlash::Always) return url;
  const std::string_view given = trim_white_space(path);
  if (given.substr(0, given.find_first_of("?#")).ends_with('/')) return url;
  // The rule appended one "/" to a path that did not end with one. The path ends
  // at the first "?" (the query is appended after it, and a "?" inside an
  // absolute URL's path is percent-encoded); the host's root keeps its "/".
  std::string& text = *url;
  const std::size_t root = text.find('/', text.find("://") + 3);
  std::size_t path_end = text.find('?');
  if (path_end == std::string::npos) path_end = text.size();
  if (path_end > root + 1 && text[path_end - 1] == '/') text.erase(path_end - 1, 1);
  return url;
}

}  // namespace zoret::site
