#pragma once

// How the audit reads the addresses a page names (canonical, og:url, hreflang,
// sitemap entries) and decides which page an address refers to. Every
// comparison goes through these functions, so that the page rules and the site
// rules agree on what "the page itself" and "another page" mean.

#include <optional>
#include <string>
#include <string_view>

#include "zoret/audit/audit_rules.hpp"
#include "zoret/audit/page_summary.hpp"
#include "zoret/config.hpp"

namespace zoret::detail {

/// An address resolved for comparison.
struct Address {
  /// An absolute http(s) URL in the URL Standard's serialisation without its
  /// fragment, or, for a relative reference, a path on the site with its query
  /// ("/a/b?c").
  std::string href;
  /// Whether `href` is an absolute URL (names a host).
  bool on_host = false;
};

/// An address without its own copy of the text: a resolved `Address`, or one a
/// summary stores (see `stored_address`).
struct AddressView {
  std::string_view href;
  bool on_host = false;

  AddressView(std::string_view text, bool host) noexcept : href(text), on_host(host) {}
  AddressView(const Address& address) noexcept  // NOLINT: implicit on purpose
      : href(address.href), on_host(address.on_host) {}
};

/// The parts of an `Address::href`.
struct AddressParts {
  std::string_view host;  ///< without userinfo or port; empty for a site path
  std::string_view port;  ///< digits, empty when none
  std::string_view path_and_query;
};

[[nodiscard]] AddressParts split_address(AddressView address) noexcept;

/// Whether `reference` is an absolute http or https URL on its own (no base).
[[nodiscard]] bool is_absolute_http(std::string_view reference);

/// `reference` as written on the page at `route`: an absolute http(s) URL, or
/// a relative reference resolved against the route; a scheme-relative one
/// ("//cdn.example.com/a") gets the scheme of the page's URL, https when that
/// is not known. Absent for other schemes and for what does not parse.
[[nodiscard]] std::optional<Address> resolve_reference(
    std::string_view reference, std::string_view route,
    const std::optional<std::string>& page_url = std::nullopt);

/// The page's own address (`url`, `final_url`): as `resolve_reference`, and a
/// text that is not an absolute URL is kept as it is, so that it still matches
/// itself.
[[nodiscard]] Address own_address(std::string_view url);

/// The route's path as the URL serialiser writes paths ("/caf%C3%A9"), so that
/// it compares with the path of a URL.
[[nodiscard]] std::string route_key(std::string_view route);

/// The site's host in the form `normalize_site_host` gives, split once.
struct SiteHost {
  std::string host;
  std::string port;  ///< empty: any port
};

/// `text` (a normalised site host) split into host and port.
[[nodiscard]] SiteHost split_site_host(std::string_view text);

/// The site's host: the rules' own, else the configuration's canonical host when
/// it is one; absent when neither says.
[[nodiscard]] std::optional<SiteHost> audit_site_host(const AuditRules& rules,
                                                      const SEOConfig* config);

/// Whether `host`/`port` of an address is the site's host. Without a known site
/// host every host is; a site host without a port accepts any port.
[[nodiscard]] bool is_site_host(std::string_view host, std::string_view port,
                                const std::optional<SiteHost>& site) noexcept;

/// Who a page is, for deciding whether an address refers to it.
struct PageIdentity {
  std::string_view route_key;
  std::optional<AddressView> url;
  std::optional<AddressView> final_url;
};

/// Whether `address` names the page: it equals the page's URL (or final URL);
/// or, with the same path and query as that URL, it is on the URL's host or on
/// the site's host; or, for a page whose URL is not known, its path is the
/// route, without a query, on the site's host (any host when that is unknown).
[[nodiscard]] bool refers_to(AddressView address, const PageIdentity& page,
                             const std::optional<SiteHost>& site);

/// An address as a summary stores it (`Address::href`).
[[nodiscard]] inline AddressView stored_address(std::string_view href) noexcept {
  return {href, !href.starts_with('/')};
}

/// The addresses a page is known by, resolved once.
struct OwnAddresses {
  /// Only for a page whose URL is not known: the route names it then.
  std::string route_key;
  std::optional<Address> url;
  /// Only when it differs from `url`.
  std::optional<Address> final_url;

  [[nodiscard]] PageIdentity identity() const {
    PageIdentity page{route_key, std::nullopt, std::nullopt};
    if (url) page.url = *url;
    if (final_url) page.final_url = *final_url;
    return page;
  }
};

/// Resolves the route and the page's addresses as given in its facts (`url`,
/// `final_url`).
[[nodiscard]] OwnAddresses own_addresses(std::string_view route,
                                         const std::optional<std::string>& url,
                                         const std::optional<std::string>& final_url);

/// The addresses of a summary, which resolved them already: views into it, so
/// that nothing is parsed or copied again. A summary must outlive them.
struct StoredAddresses {
  std::string route_key;
  std::optional<AddressView> url;
  std::optional<AddressView> final_url;

  [[nodiscard]] PageIdentity identity() const { return {route_key, url, final_url}; }
};

[[nodiscard]] StoredAddresses stored_addresses(const PageSummary& summary);

}  // namespace zoret::detail
