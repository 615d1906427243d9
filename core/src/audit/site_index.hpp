#pragma once

// Finds the audited page an address names, for the site rules. Pages are held
// in a fixed order (sorted summaries), so that when several pages could answer
// to an address the same one wins whatever order they arrived in.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audit/address.hpp"
#include "zoret/audit/page_summary.hpp"

namespace zoret::detail {

/// A page found for an address.
struct PageHit {
  std::size_t page;
  /// The address is one the page redirects from (its URL or route, when the
  /// page redirected), not the one its head was read at.
  bool through_redirect;
};

class SiteIndex {
 public:
  /// `pages` in their fixed order; the index keeps pointers into them and into
  /// `own`, which must outlive it. `own[i]` are the addresses of `pages[i]`.
  SiteIndex(std::span<const PageSummary* const> pages, std::span<const StoredAddresses> own,
            const std::optional<SiteHost>& site);

  /// The page `address` names: the page whose URL or final URL it is; else a
  /// page whose URL has the same path and query, on the same host or with the
  /// address on the site's host; else a page with no known URL whose route is
  /// its path, the address on the site's host (or any host when that is not
  /// known). The first such page in the fixed order (exact matches first).
  [[nodiscard]] std::optional<PageHit> find(AddressView address) const;

  /// Whether `href` is the resolved URL or final URL of a page.
  [[nodiscard]] bool is_page_url(std::string_view href) const { return exact_.contains(href); }

 private:
  struct PathEntry {
    PageHit hit;
    std::optional<AddressView> url;  ///< the page address it was keyed from; none for a route
  };

  const std::optional<SiteHost>& site_;
  std::unordered_map<std::string_view, PageHit> exact_;
  std::unordered_multimap<std::string_view, PathEntry> by_path_;
};

}  // namespace zoret::detail
