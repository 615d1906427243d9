// The public-URL resolver. The input's first line is the base URL, the second
// the route, the rest a canonical_url override; the first byte's bits pick the
// policy. One resolver reused for two inputs resolves the second as a fresh
// one would; results have the policy's (or the base's) scheme and the
// configured host, no fragment, and a
// query without empty keys or tracking parameters; the error comes from the
// route when it is blank and from the base otherwise; an override that passes
// vetting parses as an http(s) URL.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "zoret/detrack.hpp"
#include "zoret/unicode.hpp"
#include "zoret/url/public_url.hpp"
#include "zoret/url/whatwg.hpp"

namespace {

std::string_view next_line(std::string_view& rest) {
  const std::size_t newline = rest.find('\n');
  const std::string_view line = rest.substr(0, newline);
  rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);
  return line;
}

void check_query(std::string_view query, bool strips_tracking) {
  for (std::size_t start = 0;;) {
    const std::size_t amp = query.find('&', start);
    const std::string_view piece =
        query.substr(start, amp == std::string_view::npos ? amp : amp - start);
    const std::string_view key = piece.substr(0, piece.find('='));
    ZORET_FUZZ_CHECK(!key.empty());
    if (strips_tracking) ZORET_FUZZ_CHECK(!zoret::is_tracking_param(zoret::decoded_key(key)));
    if (amp == std::string_view::npos) return;
    start = amp + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  if (rest.empty() || !zoret::is_valid_utf8(rest)) return 0;
  const auto bits = static_cast<unsigned char>(rest.front());
  rest.remove_prefix(1);

  zoret::SEOConfig config;
  config.canonical_host = "h.example";
  config.public_base_url = std::string(next_line(rest));
  zoret::URLPolicy& policy = config.url_policy;
  policy.enforce_https = (bits & 1) != 0;
  policy.lowercase_paths = (bits & 2) != 0;
  policy.collapse_duplicate_slashes = (bits & 4) != 0;
  policy.strip_tracking_params = (bits & 8) != 0;
  policy.trailing_slash = (bits & 16) ? zoret::TrailingSlash::Always
                          : (bits & 32) ? zoret::TrailingSlash::Preserve
                                        : zoret::TrailingSlash::Never;
  if (bits & 64) policy.extra_tracking_params = {"ref", "Session"};
  const std::string_view route = next_line(rest);
  const std::string_view override_url = rest;

  const zoret::PublicUrlResolver resolver(config);
  static_cast<void>(resolver.resolve(override_url));
  const auto reused = resolver.resolve(route);
  const auto fresh = zoret::normalize_public_url(route, config);
  ZORET_FUZZ_CHECK(reused.has_value() == fresh.has_value());

  if (!fresh) {
    const bool blank = zoret::trim_white_space(route).empty();
    ZORET_FUZZ_CHECK(fresh.error() == reused.error());
    ZORET_FUZZ_CHECK(fresh.error().kind() == (blank ? zoret::ErrorKind::InvalidUrl
                                                    : zoret::ErrorKind::InvalidConfiguration));
    ZORET_FUZZ_CHECK(blank || resolver.base_error() == fresh.error());
  } else {
    ZORET_FUZZ_CHECK(*reused == *fresh);
    const std::string_view url = *fresh;
    const std::string scheme =
        policy.enforce_https ? "https" : zoret::url::parse_url(config.public_base_url)->scheme;
    ZORET_FUZZ_CHECK(url.starts_with(scheme + "://h.example/"));
    ZORET_FUZZ_CHECK(url.find('#') == std::string_view::npos);
    const std::size_t question = url.find('?');
    if (question != std::string_view::npos) {
      check_query(url.substr(question + 1),
                  policy.strip_tracking_params && policy.allowed_query_params.empty());
    }
  }

  const auto vetted = zoret::PublicUrlResolver::vet_absolute_url(override_url, "o");
  if (vetted) {
    const auto parsed = zoret::url::parse_url(*vetted);
    ZORET_FUZZ_CHECK(parsed && zoret::is_http_scheme(parsed->scheme));
    ZORET_FUZZ_CHECK(*vetted == zoret::trim_white_space(override_url));
  } else {
    ZORET_FUZZ_CHECK(vetted.error().kind() == zoret::ErrorKind::InvalidUrl);
  }
  return 0;
}
