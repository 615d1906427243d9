#include "audit/site_index.hpp"

namespace zoret::detail {

SiteIndex::SiteIndex(std::span<const PageSummary* const> pages, std::span<const OwnAddresses> own,
                     const std::optional<SiteHost>& site)
    : site_(site) {
  exact_.reserve(pages.size() * 2);
  by_path_.reserve(pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const bool redirected = pages[i]->redirected();
    const OwnAddresses& addresses = own[i];
    // try_emplace keeps the first page for a key: the fixed order decides.
    if (addresses.url) {
      exact_.try_emplace(addresses.url->href, PageHit{i, redirected});
      by_path_[split_address(*addresses.url).path_and_query].push_back(
          {{i, redirected}, &*addresses.url});
    }
    if (addresses.final_url) {
      exact_.try_emplace(addresses.final_url->href, PageHit{i, false});
      by_path_[split_address(*addresses.final_url).path_and_query].push_back(
          {{i, false}, &*addresses.final_url});
    }
    if (!addresses.url && !addresses.final_url) {
      by_path_[addresses.route_key].push_back({{i, redirected}, nullptr});
    }
  }
}

std::optional<PageHit> SiteIndex::find(const Address& address) const {
  if (address.on_host) {
    if (const auto it = exact_.find(address.href); it != exact_.end()) return it->second;
  }
  const AddressParts parts = split_address(address);
  const auto it = by_path_.find(parts.path_and_query);
  if (it == by_path_.end()) return std::nullopt;
  for (const PathEntry& entry : it->second) {
    if (!address.on_host) return entry.hit;
    if (entry.url == nullptr) {
      if (is_site_host(parts.host, parts.port, site_)) return entry.hit;
      continue;
    }
    const AddressParts own = split_address(*entry.url);
    if ((parts.host == own.host && parts.port == own.port) ||
        (site_ && is_site_host(parts.host, parts.port, site_)))
      return entry.hit;
  }
  return std::nullopt;
}

}  // namespace zoret::detail
