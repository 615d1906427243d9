#include "zoret/url/public_url.hpp"

#include <utility>

#include "zoret/unicode.hpp"
#include "zoret/url/whatwg.hpp"

namespace zoret {
namespace {

struct PathAndQuery {
  std::string path;
  std::string query;
};

// Relative input is split as plain text: a fragment is dropped, the query is
// everything after the first "?", and nothing is decoded or encoded.
PathAndQuery split_relative(std::string_view input) {
  input = input.substr(0, input.find('#'));
  const std::size_t question = input.find('?');
  if (question == std::string_view::npos) return {std::string(input), {}};
  return {std::string(input.substr(0, question)), std::string(input.substr(question + 1))};
}

// The comparison happens before normalisation and is byte-wise: "/apple" is not
// under "/app".
std::string place_under_prefix(std::string path, std::string_view prefix) {
  if (prefix.empty()) return path;
  const std::string_view p(path);
  if (p == prefix || (p.starts_with(prefix) && p.size() > prefix.size() && p[prefix.size()] == '/'))
    return path;
  std::string out;
  out.reserve(prefix.size() + 1 + path.size());
  out += prefix;
  if (!p.starts_with('/')) out += '/';
  out += path;
  return out;
}

}  // namespace

PublicUrlResolver::PublicUrlResolver(const SEOConfig& config)
    : host_(&config.canonical_host),
      policy_(&config.url_policy),
      query_filter_(config.url_policy) {
  auto base = url::parse_url(config.public_base_url);
  if (!base) {
    base_error_.emplace(ErrorKind::InvalidConfiguration,
                        "invalid public_base_url: " + std::string(url::describe(base.error())));
    return;
  }
  scheme_ = policy_->enforce_https ? std::string("https") : std::move(base->scheme);
  std::string_view prefix = base->path;
  while (prefix.ends_with('/')) prefix.remove_suffix(1);
  path_prefix_ = prefix;
}

Result<std::string> PublicUrlResolver::resolve(std::string_view url_or_path) const {
  const std::string_view input = trim_white_space(url_or_path);
  if (input.empty()) {
    return ZoretError(ErrorKind::InvalidUrl, "url_or_path must be a non-empty string");
  }
  if (base_error_) return *base_error_;
  auto parsed = url::parse_url(input);
  PathAndQuery parts = parsed ? PathAndQuery{std::move(parsed->path), parsed->query.value_or("")}
                              : split_relative(input);

  const std::string path =
      normalize_path(place_under_prefix(std::move(parts.path), path_prefix_), *policy_);
  const std::string query = parts.query.empty() ? std::string() : query_filter_.apply(parts.query);

  std::string out;
  out.reserve(scheme_.size() + 3 + host_->size() + path.size() + 1 + query.size());
  out += scheme_;
  out += "://";
  out += *host_;
  out += path;
  if (!query.empty()) {
    out += '?';
    out += query;
  }
  return out;
}

Result<std::string_view> PublicUrlResolver::vet_absolute_url(std::string_view url,
                                                             std::string_view subject) {
  const std::string_view trimmed = trim_white_space(url);
  const auto parsed = url::parse_url(trimmed);
  if (!parsed) {
    std::string message(subject);
    message += " must be an absolute URL: ";
    message += url::describe(parsed.error());
    return ZoretError(ErrorKind::InvalidUrl, std::move(message));
  }
  if (!is_http_scheme(parsed->scheme)) {
    return ZoretError(ErrorKind::InvalidUrl, std::string(subject) + " must use http or https");
  }
  return trimmed;
}

Result<std::string> normalize_public_url(std::string_view url_or_path, const SEOConfig& config) {
  return PublicUrlResolver(config).resolve(url_or_path);
}

}  // namespace zoret
