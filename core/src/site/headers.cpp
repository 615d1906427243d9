#include "zoret/site/headers.hpp"

#include "site/text_checks.hpp"
#include "zoret/site/uri_reference.hpp"

namespace zoret::site {

Result<std::string> x_robots_tag_value(std::string_view robots) {
  for (const char ch : robots) {
    const auto c = static_cast<unsigned char>(ch);
    if (detail::is_ascii_control(c) || c >= 0x80) {
      return ZoretError(ErrorKind::Serialization,
                        "robots text cannot be a header value: only printable ASCII is allowed: " +
                            detail::quoted(robots));
    }
  }
  return std::string(robots);
}

Result<std::string> link_canonical_value(std::string_view canonical_url) {
  if (canonical_url.empty()) return ZoretError(ErrorKind::InvalidUrl, "canonical URL is empty");
  auto uri = encode_uri_reference(canonical_url);
  if (!uri) return std::move(uri).error();
  std::string out;
  out.reserve(uri->size() + 20);
  out += '<';
  out += *uri;
  out += ">; rel=\"canonical\"";
  return out;
}

Result<std::vector<std::pair<std::string, std::string>>> response_headers(
    const SEOPayload& payload) {
  std::vector<std::pair<std::string, std::string>> headers;
  if (!payload.canonical.empty()) {
    auto link = link_canonical_value(payload.canonical);
    if (!link) return std::move(link).error();
    headers.emplace_back("Link", *std::move(link));
  }
  if (!payload.robots.empty()) {
    auto robots = x_robots_tag_value(payload.robots);
    if (!robots) return std::move(robots).error();
    headers.emplace_back("X-Robots-Tag", *std::move(robots));
  }
  return headers;
}

}  // namespace zoret::site
