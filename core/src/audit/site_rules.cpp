// The site rules: what only the summaries of every page together show.
#include <algorithm>
#include <cstdint>
#include <tuple>
#include <unordered_map>

#include "audit/address.hpp"
#include "audit/findings.hpp"
#include "audit/site_index.hpp"
#include "zoret/audit/audit.hpp"

namespace zoret {
namespace {

using detail::Address;
using detail::excerpt;
using detail::Finding;
using detail::PageHit;
using detail::quote_text;

constexpr std::size_t kOthersNamed = 5;

bool is_ok_status(const PageSummary& page) {
  return !page.status || (*page.status >= 200 && *page.status <= 299);
}

// Where a redirecting page sends the client, as far as its summary says.
std::string redirect_target(const PageSummary& page) {
  if (page.redirect_url) return *page.redirect_url;
  if (page.final_url) return *page.final_url;
  return "an address not recorded";
}

// The route a sitemap URL that names no audited page is reported under: its
// path, as the page would have had it.
std::string route_of(detail::AddressView address) {
  std::string_view path = detail::split_address(address).path_and_query;
  return std::string(path.substr(0, path.find('?')));
}

// FNV-1a: the same on every platform, so the pages' order never depends on the
// standard library.
std::uint64_t route_hash(std::string_view route) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : route) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

// What the sitemap lists of a page (bits).
enum Listing : std::uint8_t { kNotListed = 0, kListedAtUrl = 1, kListedAtFinal = 2 };

class SiteRules {
 public:
  SiteRules(std::span<const PageSummary* const> pages, std::span<const detail::StoredAddresses> own,
            const AuditRules& rules, const std::optional<detail::SiteHost>& site,
            std::vector<Violation>& out)
      : pages_(pages), own_(own), site_(site), findings_(rules, out), index_(pages, own, site) {}

  void run(std::optional<std::span<const SitemapUrl>> sitemap) {
    canonical_targets();
    sitemap_listings(sitemap);
    hreflang_return_links();
    duplicates(AuditRule::DuplicateTitle, "title", &PageSummary::title);
    duplicates(AuditRule::DuplicateDescription, "description", &PageSummary::description);
  }

 private:
  void add(AuditRule rule, std::size_t page, Finding finding) {
    findings_.add(rule, pages_[page]->route, pages_[page]->url, std::move(finding));
  }

  bool names_itself(detail::AddressView address, std::size_t page) const {
    return detail::refers_to(address, own_[page].identity(), site_);
  }

  bool off_site(detail::AddressView address) const {
    if (!site_ || !address.on_host) return false;
    const detail::AddressParts parts = detail::split_address(address);
    return !detail::is_site_host(parts.host, parts.port, site_);
  }

  void canonical_targets() {
    if (!findings_.on(AuditRule::CanonicalTargetMissing) &&
        !findings_.on(AuditRule::CanonicalTargetRedirected) &&
        !findings_.on(AuditRule::CanonicalTargetNoindex))
      return;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      const PageSummary& page = *pages_[i];
      if (!page.has_own_head() || !page.canonical) continue;
      const detail::AddressView target = detail::stored_address(*page.canonical);
      // Another host is canonical-outside-site's finding, on the page itself.
      if (names_itself(target, i) || off_site(target)) continue;
      const std::string& href = *page.canonical;
      const std::optional<PageHit> hit = index_.find(target);
      if (!hit) {
        if (findings_.on(AuditRule::CanonicalTargetMissing)) {
          add(AuditRule::CanonicalTargetMissing, i,
              {"canonical", "an audited page", "not among the audited pages",
               "The canonical URL " + quote_text(href) + " is not among the audited pages."});
        }
        continue;
      }
      const PageSummary& found = *pages_[hit->page];
      if (found.status && *found.status >= 400) {
        if (findings_.on(AuditRule::CanonicalTargetMissing)) {
          const std::string status = "status " + std::to_string(*found.status);
          add(AuditRule::CanonicalTargetMissing, i,
              {"canonical", "a page that answers 2xx", status,
               "The canonical URL " + quote_text(href) + " answers with " + status + "."});
        }
      } else if (hit->through_redirect) {
        if (findings_.on(AuditRule::CanonicalTargetRedirected)) {
          const std::string to = redirect_target(found);
          add(AuditRule::CanonicalTargetRedirected, i,
              {"canonical", "a page that does not redirect", "redirects to " + excerpt(to),
               "The canonical URL " + quote_text(href) + " redirects to " + quote_text(to) +
                   "; name the final address instead."});
        }
      } else if (found.noindex && findings_.on(AuditRule::CanonicalTargetNoindex)) {
        add(AuditRule::CanonicalTargetNoindex, i,
            {"canonical", "an indexable page", "noindex",
             "The canonical URL " + quote_text(href) +
                 " is a noindex page, so neither page may be indexed."});
      }
    }
  }

  void sitemap_listings(std::optional<std::span<const SitemapUrl>> sitemap) {
    std::vector<std::uint8_t> listed(pages_.size(), kNotListed);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      if (pages_[i]->in_sitemap.value_or(false)) listed[i] = kListedAtUrl;
    }
    if (sitemap) read_sitemap(*sitemap, listed);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      if (listed[i] != kNotListed) listed_page(i, listed[i]);
    }
  }

  void read_sitemap(std::span<const SitemapUrl> sitemap, std::vector<std::uint8_t>& listed) {
    // One entry per address, whichever spelling of it sorts first, disallowed when
    // any spelling is; the findings are sorted at the end, so no order is needed here.
    struct Entry {
      const SitemapUrl* url;
      const detail::Address* address;
      bool disallowed;
    };
    std::vector<detail::Address> addresses;
    addresses.reserve(sitemap.size());
    std::unordered_map<std::string_view, Entry> entries;
    entries.reserve(sitemap.size());
    for (const SitemapUrl& url : sitemap) {
      // A URL spelt as a page's resolved URL is resolved already (resolving is
      // idempotent), which spares most sitemaps the parser.
      const detail::Address& address =
          addresses.emplace_back(index_.is_page_url(url.url) ? detail::Address{url.url, true}
                                                             : detail::own_address(url.url));
      const auto [it, added] = entries.try_emplace(address.href, Entry{&url, &address, false});
      Entry& entry = it->second;
      if (!added && url.url < entry.url->url) entry.url = &url;
      entry.disallowed |= url.disallowed;
    }
    for (const auto& [href, entry] : entries) {
      const std::optional<PageHit> hit = index_.find(*entry.address);
      if (hit) {
        listed[hit->page] |=
            hit->through_redirect ? std::uint8_t{kListedAtUrl} : listed_kind(hit->page);
      }
      if (entry.disallowed && findings_.on(AuditRule::SitemapDisallowed)) {
        findings_.add(AuditRule::SitemapDisallowed,
                      hit ? pages_[hit->page]->route : route_of(*entry.address), entry.url->url,
                      {"sitemap", "allowed by robots.txt", "disallowed",
                       "The sitemap lists " + quote_text(entry.url->url) +
                           ", which robots.txt disallows: crawlers may not fetch it."});
      }
    }
  }

  // A page found by its final URL is listed at that address; by its URL or
  // route, at its own.
  std::uint8_t listed_kind(std::size_t page) const {
    return own_[page].final_url ? std::uint8_t{kListedAtFinal} : std::uint8_t{kListedAtUrl};
  }

  void listed_page(std::size_t i, std::uint8_t listing) {
    const PageSummary& page = *pages_[i];
    const bool at_url = (listing & kListedAtUrl) != 0;
    const std::optional<std::string>& where = at_url ? page.url : page.final_url;
    if (findings_.on(AuditRule::SitemapNotOk)) {
      std::string actual;
      if (page.status && *page.status != 200) {
        actual = "status " + std::to_string(*page.status);
        if (at_url && page.redirected())
          actual += ", redirects to " + excerpt(redirect_target(page));
      } else if (at_url && page.redirected()) {
        actual = "redirects to " + excerpt(redirect_target(page));
      }
      if (!actual.empty()) {
        findings_.add(AuditRule::SitemapNotOk, page.route, where,
                      {"sitemap", "status 200", actual,
                       "The sitemap lists a URL that does not answer 200 (" + actual +
                           "); list final, working addresses only."});
      }
    }
    const bool head_listed = at_url ? page.has_own_head() : is_ok_status(page);
    if (page.noindex && head_listed && findings_.on(AuditRule::SitemapNoindex)) {
      findings_.add(AuditRule::SitemapNoindex, page.route, where,
                    {"sitemap", "an indexable page", "noindex",
                     "The sitemap lists a noindex page; list only pages meant for the index."});
    }
  }

  // Whether the head of the page `hit` names was read at that address.
  bool head_at(const PageHit& hit) const {
    return !hit.through_redirect && is_ok_status(*pages_[hit.page]);
  }

  void hreflang_return_links() {
    if (!findings_.on(AuditRule::HreflangNoReturn)) return;
    // For each page, the pages its alternates name (itself included), so that
    // "does B list A" is a scan of a few numbers.
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::vector<std::size_t>> named(pages_.size());
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      if (!pages_[i]->hreflang) continue;
      for (const SummaryAlternate& alternate : *pages_[i]->hreflang) {
        const detail::AddressView address = detail::stored_address(alternate.href);
        std::size_t target = kNone;
        if (names_itself(address, i)) {
          target = i;
        } else if (const auto hit = index_.find(address); hit && head_at(*hit)) {
          target = hit->page;
        }
        named[i].push_back(target);
      }
    }
    for (std::size_t a = 0; a < pages_.size(); ++a) {
      const PageSummary& page = *pages_[a];
      if (!page.has_own_head() || !page.hreflang) continue;
      for (std::size_t j = 0; j < page.hreflang->size(); ++j) {
        const std::size_t b = named[a][j];
        if (b == kNone || b == a || !pages_[b]->hreflang) continue;
        if (std::find(named[b].begin(), named[b].end(), a) != named[b].end()) continue;
        const SummaryAlternate& alternate = (*page.hreflang)[j];
        add(AuditRule::HreflangNoReturn, a,
            {"hreflang", "a link back from " + excerpt(alternate.href),
             "no alternate of " + pages_[b]->route + " names this page",
             "The page names " + quote_text(alternate.href) + " as its " +
                 quote_text(alternate.language) +
                 " alternate, but that page does not name this one among its alternates."});
      }
    }
  }

  // A page takes part in duplicate checks when search engines would index it
  // under its own address: its own head, no noindex, no canonical elsewhere.
  bool indexable_here(std::size_t i) const {
    const PageSummary& page = *pages_[i];
    if (!page.has_own_head() || page.noindex) return false;
    return !page.canonical || names_itself(detail::stored_address(*page.canonical), i);
  }

  void duplicates(AuditRule rule, std::string_view field,
                  std::optional<std::string> PageSummary::* text) {
    if (!findings_.on(rule)) return;
    std::vector<std::size_t> group;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      if ((pages_[i]->*text) && indexable_here(i)) group.push_back(i);
    }
    // Stable: within a text, pages keep their fixed order.
    std::stable_sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) {
      return *(pages_[a]->*text) < *(pages_[b]->*text);
    });
    for (std::size_t start = 0; start < group.size();) {
      std::size_t end = start + 1;
      const std::string& value = *(pages_[group[start]]->*text);
      while (end < group.size() && *(pages_[group[end]]->*text) == value) ++end;
      if (end - start > 1) duplicate_group({group.data() + start, end - start}, field, value, rule);
      start = end;
    }
  }

  void duplicate_group(std::span<const std::size_t> group, std::string_view field,
                       const std::string& value, AuditRule rule) {
    // The others are named in route order; a group of any size names a few.
    std::vector<std::size_t> by_route(group.begin(), group.end());
    const std::size_t shown = std::min(by_route.size(), kOthersNamed + 1);
    std::partial_sort(by_route.begin(), by_route.begin() + static_cast<std::ptrdiff_t>(shown),
                      by_route.end(), [&](std::size_t a, std::size_t b) {
                        return std::tie(pages_[a]->route, a) < std::tie(pages_[b]->route, b);
                      });
    by_route.resize(shown);
    for (std::size_t member : group) {
      std::string others;
      std::size_t named = 0;
      for (std::size_t other : by_route) {
        if (other == member) continue;
        if (named == kOthersNamed) break;
        others += named++ == 0 ? "" : ", ";
        others += pages_[other]->route;
      }
      const std::size_t count = group.size() - 1;
      if (count > named) others += " and " + std::to_string(count - named) + " more";
      std::string what = field == "title" ? "title" : "meta description";
      add(rule, member,
          {std::string(field), "a " + what + " no other page has", excerpt(value),
           "The " + what + " " + quote_text(value) + " is also the " + what + " of " +
               std::to_string(count) + (count == 1 ? " other page: " : " other pages: ") + others +
               "."});
    }
  }

  std::span<const PageSummary* const> pages_;
  std::span<const detail::StoredAddresses> own_;
  const std::optional<detail::SiteHost>& site_;
  detail::Findings findings_;
  detail::SiteIndex index_;
};

}  // namespace

std::vector<Violation> audit_site(std::span<const PageSummary* const> summaries,
                                  const AuditRules& rules, const SEOConfig* config,
                                  std::optional<std::span<const SitemapUrl>> sitemap) {
  // A fixed order of the pages, whatever order they came in. Any total order
  // will do (findings are sorted at the end); ordering by a hash of the route
  // first spares the sort most string comparisons, and so most cache misses
  // into 10^5 scattered summaries.
  struct Keyed {
    std::uint64_t key;
    const PageSummary* page;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(summaries.size());
  for (const PageSummary* page : summaries) keyed.push_back({route_hash(page->route), page});
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    return a.key != b.key ? a.key < b.key : *a.page < *b.page;
  });
  std::vector<const PageSummary*> pages;
  pages.reserve(keyed.size());
  for (const Keyed& k : keyed) {
    // The same page handed in twice is one page.
    if (pages.empty() || !(*pages.back() == *k.page)) pages.push_back(k.page);
  }
  std::vector<detail::StoredAddresses> own;
  own.reserve(pages.size());
  for (const PageSummary* page : pages) own.push_back(detail::stored_addresses(*page));
  const std::optional<detail::SiteHost> site = detail::audit_site_host(rules, config);
  std::vector<Violation> out;
  SiteRules(pages, own, rules, site, out).run(sitemap);
  sort_audit_findings(out);
  return out;
}

std::vector<Violation> audit_site(std::span<const PageSummary> summaries, const AuditRules& rules,
                                  const SEOConfig* config,
                                  std::optional<std::span<const SitemapUrl>> sitemap) {
  std::vector<const PageSummary*> pages;
  pages.reserve(summaries.size());
  for (const PageSummary& summary : summaries) pages.push_back(&summary);
  return audit_site(std::span<const PageSummary* const>(pages), rules, config, sitemap);
}

}  // namespace zoret
