#include "audit/address.hpp"

#include "zoret/url/whatwg.hpp"

namespace zoret::detail {
namespace {

// Relative references are resolved against the route on a host that cannot be
// registered (RFC 2606), then recognised by it: the URL parser does the path
// arithmetic ("..", ".", percent-encoding) and nothing is written twice.
constexpr std::string_view kRouteOrigin = "http://zoret.invalid";
constexpr std::string_view kRouteHost = "zoret.invalid";

bool is_http(const url::ParsedUrl& url) { return url.scheme == "http" || url.scheme == "https"; }

// The URL parser trims C0 controls and spaces around its input; the prefix tests
// below must see what it sees.
std::string_view trim_c0_and_space(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

bool is_slash(char c) { return c == '/' || c == '\\'; }

std::string join_with_route(std::string_view reference, std::string_view route,
                            const std::optional<std::string>& page_url) {
  std::string out;
  out.reserve(kRouteOrigin.size() + route.size() + reference.size() + 1);
  if (reference.size() >= 2 && is_slash(reference[0]) && is_slash(reference[1])) {
    out = page_url && page_url->starts_with("http:") ? "http:" : "https:";
  } else {
    out = kRouteOrigin;
    if (reference.empty() || !is_slash(reference.front())) {
      if (!route.starts_with('/')) out += '/';
      if (reference.empty() || reference.front() == '?' || reference.front() == '#') {
        out += route;
      } else {
        out += route.substr(0, route.rfind('/') + 1);
      }
    }
  }
  out += reference;
  return out;
}

Address address_of(url::ParsedUrl& url) {
  url.fragment.reset();
  if (url.host == kRouteHost) {
    std::string href = std::move(url.path);
    if (url.query) {
      href += '?';
      href += *url.query;
    }
    return {std::move(href), false};
  }
  return {url::serialize(url), true};
}

}  // namespace

AddressParts split_address(AddressView address) noexcept {
  std::string_view href = address.href;
  if (!address.on_host) return {{}, {}, href};
  const std::size_t scheme_end = href.find("://");
  std::string_view rest = href.substr(scheme_end == std::string_view::npos ? 0 : scheme_end + 3);
  const std::size_t path_start = rest.find('/');
  std::string_view authority = rest.substr(0, path_start);
  AddressParts parts;
  parts.path_and_query = path_start == std::string_view::npos ? "/" : rest.substr(path_start);
  // The serialiser percent-encodes "@" in credentials, so the last one ends them.
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  const std::size_t bracket = authority.rfind(']');
  const std::size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    parts.port = authority.substr(colon + 1);
    authority = authority.substr(0, colon);
  }
  parts.host = authority;
  return parts;
}

bool is_absolute_http(std::string_view reference) {
  auto parsed = url::parse_url(reference);
  return parsed && is_http(*parsed);
}

std::optional<Address> resolve_reference(std::string_view reference, std::string_view route,
                                         const std::optional<std::string>& page_url) {
  auto parsed = url::parse_url(reference);
  if (parsed) {
    if (!is_http(*parsed) || parsed->host == kRouteHost) return std::nullopt;
    return address_of(*parsed);
  }
  if (parsed.error() != url::UrlFailure::RelativeUrlWithoutBase) return std::nullopt;
  auto joined = url::parse_url(join_with_route(trim_c0_and_space(reference), route, page_url));
  if (!joined || !is_http(*joined)) return std::nullopt;
  return address_of(*joined);
}

Address own_address(std::string_view url) {
  auto parsed = url::parse_url(url);
  if (parsed && is_http(*parsed)) return address_of(*parsed);
  return {std::string(url), false};
}

namespace {

// Whether the URL parser would keep the route as it is: characters that a path
// keeps unencoded, and no "." or ".." segment. Routes of built pages mostly are.
bool is_plain_route(std::string_view route) {
  if (!route.starts_with('/')) return false;
  for (std::size_t i = 0; i < route.size(); ++i) {
    const char c = route[i];
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '_' || c == '~' ||
                       (c == '.' && route[i - 1] != '/');
    if (!plain) return false;
  }
  return true;
}

}  // namespace

std::string route_key(std::string_view route) {
  if (is_plain_route(route)) return std::string(route);
  std::string text(kRouteOrigin);
  if (!route.starts_with('/')) text += '/';
  text += route;
  auto parsed = url::parse_url(text);
  if (!parsed || parsed->host != kRouteHost) return std::string(route);
  return std::move(parsed->path);
}

SiteHost split_site_host(std::string_view text) {
  const std::size_t bracket = text.rfind(']');
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    return {std::string(text.substr(0, colon)), std::string(text.substr(colon + 1))};
  }
  return {std::string(text), {}};
}

std::optional<SiteHost> audit_site_host(const AuditRules& rules, const SEOConfig* config) {
  if (rules.site_host) return split_site_host(*rules.site_host);
  if (config == nullptr || config->canonical_host.empty()) return std::nullopt;
  auto normal = normalize_site_host(config->canonical_host);
  if (!normal) return std::nullopt;
  return split_site_host(*normal);
}

bool is_site_host(std::string_view host, std::string_view port,
                  const std::optional<SiteHost>& site) noexcept {
  if (!site) return true;
  return host == site->host && (site->port.empty() || port == site->port);
}

namespace {

bool names_url(AddressView address, const AddressParts& parts, AddressView url,
               const std::optional<SiteHost>& site) {
  if (address.href == url.href) return true;
  const AddressParts own = split_address(url);
  if (parts.path_and_query != own.path_and_query) return false;
  if (!address.on_host) return true;
  if (parts.host == own.host && parts.port == own.port) return true;
  return site.has_value() && is_site_host(parts.host, parts.port, site);
}

}  // namespace

bool refers_to(AddressView address, const PageIdentity& page, const std::optional<SiteHost>& site) {
  const AddressParts parts = split_address(address);
  if (page.url || page.final_url) {
    return (page.url && names_url(address, parts, *page.url, site)) ||
           (page.final_url && names_url(address, parts, *page.final_url, site));
  }
  if (address.on_host && !is_site_host(parts.host, parts.port, site)) return false;
  return parts.path_and_query == page.route_key;
}

OwnAddresses own_addresses(std::string_view route, const std::optional<std::string>& url,
                           const std::optional<std::string>& final_url) {
  OwnAddresses out;
  if (url) out.url = own_address(*url);
  if (final_url) {
    Address final_address = own_address(*final_url);
    if (!out.url || out.url->href != final_address.href) out.final_url = std::move(final_address);
  }
  if (!out.url && !out.final_url) out.route_key = route_key(route);
  return out;
}

StoredAddresses stored_addresses(const PageSummary& summary) {
  // A resolved URL starts with its scheme; what did not resolve was kept as text.
  auto stored = [](const std::string& href) {
    return AddressView(href, href.starts_with("http://") || href.starts_with("https://"));
  };
  StoredAddresses out;
  if (summary.url) out.url = stored(*summary.url);
  if (summary.final_url) out.final_url = stored(*summary.final_url);
  if (!summary.url && !summary.final_url) out.route_key = route_key(summary.route);
  return out;
}

}  // namespace zoret::detail
