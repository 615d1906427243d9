#include "zoret/audit/page_summary.hpp"

#include "audit/address.hpp"
#include "audit/page_text.hpp"

namespace zoret {

PageSummary page_summary(const PageFacts& facts) {
  PageSummary s;
  s.route = facts.route;
  detail::OwnAddresses own = detail::own_addresses(facts.route, facts.url, facts.final_url);
  if (own.url) s.url = std::move(own.url->href);
  if (own.final_url) s.final_url = std::move(own.final_url->href);
  s.status = facts.status;
  s.redirect_url = facts.redirect_url;
  if (facts.canonical) {
    if (auto canonical = detail::resolve_reference(*facts.canonical, facts.route, facts.url)) {
      s.canonical = std::move(canonical->href);
    }
  }
  s.noindex = detail::has_noindex(facts.robots);
  s.title = detail::visible_text(facts.title);
  s.description = detail::visible_text(facts.description);
  if (facts.hreflang) {
    auto& alternates = s.hreflang.emplace();
    alternates.reserve(facts.hreflang->size());
    for (const HreflangAlternate& alternate : *facts.hreflang) {
      if (auto href = detail::resolve_reference(alternate.href, facts.route, facts.url)) {
        alternates.push_back({alternate.language, std::move(href->href)});
      }
    }
  }
  s.in_sitemap = facts.in_sitemap;
  return s;
}

}  // namespace zoret
