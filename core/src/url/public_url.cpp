#include "zoret/url/public_url.hpp"

#include <unordered_set>

#include "zoret/detrack.hpp"
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

std::string filter_query(std::string_view query, const URLPolicy& policy) {
  std::unordered_set<std::string_view> allowed;
  if (!policy.allowed_query_params.empty()) {
    allowed.reserve(policy.allowed_query_params.size());
    for (const std::string& name : policy.allowed_query_params) allowed.insert(name);
  }
  std::string out;
  out.reserve(query.size());
  bool first = true;
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view pair = query.substr(start, end - start);
    const std::string_view raw_key = pair.substr(0, pair.find('='));
    if (!raw_key.empty()) {
      const std::string key = decoded_key(raw_key);
      bool keep = true;
      if (!allowed.empty()) {
        keep = allowed.contains(key);
      } else if (policy.strip_tracking_params) {
        keep = !is_tracking_param_with(key, policy.extra_tracking_params);
      }
      if (keep) {
        if (!first) out += '&';
        out += pair;
        first = false;
      }
    }
    start = end + 1;
  }
  return out;
}

Result<url::ParsedUrl> parse_public_base_url(const SEOConfig& config) {
  auto base = url::parse_url(config.public_base_url);
  if (!base) {
    return ZoretError(ErrorKind::InvalidConfiguration,
                      "invalid public_base_url: " + std::string(url::describe(base.error())));
  }
  return *std::move(base);
}

Result<std::string> normalize_public_url(std::string_view url_or_path, const SEOConfig& config) {
  // The base is parsed on every call so that a bad base URL fails every call,
  // whatever the input.
  return normalize_public_url(url_or_path, config, parse_public_base_url(config));
}

Result<std::string> normalize_public_url(std::string_view url_or_path, const SEOConfig& config,
                                         const Result<url::ParsedUrl>& base) {
  const std::string_view input = trim_white_space(url_or_path);
  if (input.empty()) {
    return ZoretError(ErrorKind::InvalidUrl, "url_or_path must be a non-empty string");
  }
  if (!base) return base.error();
  auto parsed = url::parse_url(input);
  PathAndQuery parts = parsed ? PathAndQuery{std::move(parsed->path), parsed->query.value_or("")}
                              : split_relative(input);

  std::string_view prefix = base->path;
  while (prefix.ends_with('/')) prefix.remove_suffix(1);
  const URLPolicy& policy = config.url_policy;
  const std::string path = normalize_path(place_under_prefix(std::move(parts.path), prefix), policy);
  const std::string query = parts.query.empty() ? std::string() : filter_query(parts.query, policy);

  const std::string_view scheme = policy.enforce_https ? std::string_view("https") : base->scheme;
  std::string out;
  out.reserve(scheme.size() + 3 + config.canonical_host.size() + path.size() + 1 + query.size());
  out += scheme;
  out += "://";
  out += config.canonical_host;
  out += path;
  if (!query.empty()) {
    out += '?';
    out += query;
  }
  return out;
}

}  // namespace zoret
