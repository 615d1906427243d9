#include "audit/site_index.hpp"

namespace zoret::detail {

SiteIndex::SiteIndex(std::span<const PageSummary* const> pages,
                     std::span<const StoredAddresses> own, const std::optional<SiteHost>& site)
    : site_(site) {
  exact_.reserve(pages.size() * 2);
  by_path_.reserve(pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const bool redirected = pages[i]->redirected();
    const StoredAddresses& addresses = own[i];
    // try_emplace keeps the first page for a key: the fixed order decides.
    if (addresses.url) {
      exact_.try_emplace(addresses.url->href, PageHit{i, redirected});
      by_path_.emplace(split_address(*addresses.url).path_and_query,
                       PathEntry{{i, redirected}, addresses.url});
    }
    if (addresses.final_url) {
      exact_.try_emplace(addresses.final_url->href, PageHit{i, false});
      by_path_.emplace(split_address(*addresses.final_url).path_and_query,
                       PathEntry{{i, false}, addresses.final_url});
    }
    if (!addresses.url && !addresses.final_url) {
      by_path_.emplace(addresses.route_key, PathEntry{{i, redirected}, std::nullopt});
    }
  }
}

std::optional<PageHit> SiteIndex::find(AddressView address) const {
  if (address.on_host) {
    if (const auto it = exact_.find(address.href); it != exact_.end()) return it->second;
  }
  const AddressParts parts = split_address(address);
  // Equal keys come in no promised order: the lowest page wins.
  std::optional<PageHit> found;
  const auto [first, last] = by_path_.equal_range(parts.path_and_query);
  for (auto it = first; it != last; ++it) {
    const PathEntry& entry = it->second;
    if (found && found->page <= entry.hit.page) continue;
    bool names = !address.on_host;
    if (!names && !entry.url) {
      names = is_site_host(parts.host, parts.port, site_);
    } else if (!names) {
      const AddressParts own = split_address(*entry.url);
      names = (parts.host == own.host && parts.port == own.port) ||
              (site_ && is_site_host(parts.host, parts.port, site_));
    }
    if (names) found = entry.hit;
  }
  return found;
}

}  // namespace zoret::detail
