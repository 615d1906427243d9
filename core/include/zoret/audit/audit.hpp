#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zoret/audit/audit_rules.hpp"
#include "zoret/audit/page_summary.hpp"
#include "zoret/check/page_facts.hpp"
#include "zoret/check/violation.hpp"
#include "zoret/config.hpp"

namespace zoret {

// A site audit runs in two steps. `audit_page` applies the page rules to one
// page's facts and `page_summary` keeps what the site rules need; both may run
// in any process, in any order. `audit_site` then applies the site rules to the
// summaries of every page. Findings are `Violation` records with `rule_id` set,
// `source` the rule's name and the severity the rules give it, sorted by
// `audit_order`, so that the findings of a site do not depend on how its pages
// were distributed or in which order they arrived.
//
// The site's host (for canonical-outside-site and for deciding whether an
// absolute URL names an audited page) is `rules.site_host`, else the
// configuration's canonical_host; with neither, addresses are compared by path.
// Page rules look only at pages whose head is their own (`has_own_head`): a
// redirect or an error page is judged by the site rules alone.

/// The page rules on one page, in audit order.
[[nodiscard]] std::vector<Violation> audit_page(const PageFacts& facts, const AuditRules& rules,
                                                const SEOConfig* config = nullptr);

/// One URL of the site's sitemaps, and whether the site's robots.txt disallows
/// it for the crawlers the audit speaks for (as the caller evaluated it).
struct SitemapUrl {
  std::string url;
  bool disallowed = false;
};

/// The site rules on the summaries of every page, in audit order. The rules that
/// need the sitemap's URLs are skipped when `sitemap` is absent; a summary's
/// `in_sitemap` also counts as listing the page. Memory is the summaries', an
/// index over them and the findings.
[[nodiscard]] std::vector<Violation> audit_site(
    std::span<const PageSummary* const> summaries, const AuditRules& rules,
    const SEOConfig* config = nullptr,
    std::optional<std::span<const SitemapUrl>> sitemap = std::nullopt);

/// The same over summaries held by value.
[[nodiscard]] std::vector<Violation> audit_site(
    std::span<const PageSummary> summaries, const AuditRules& rules,
    const SEOConfig* config = nullptr,
    std::optional<std::span<const SitemapUrl>> sitemap = std::nullopt);

/// The order of audit findings: route, rule id, field, then the remaining
/// fields, so that equal inputs give equal bytes.
[[nodiscard]] bool audit_order(const Violation& a, const Violation& b) noexcept;

/// Sorts `violations` into audit order.
void sort_audit_findings(std::vector<Violation>& violations);

}  // namespace zoret
