#include "zoret/audit/rule_table.hpp"

namespace zoret {
namespace {

using enum AuditRule;
using enum AuditScope;
constexpr ContractSeverity kError = ContractSeverity::Error;
constexpr ContractSeverity kWarning = ContractSeverity::Warning;
constexpr ContractSeverity kInfo = ContractSeverity::Info;

constexpr AuditRuleInfo kRules[] = {
    {TitleMissing, "ZORET201", "title-missing", kError, Page,
     "The page has no title, or a blank one."},
    {TitleLength, "ZORET202", "title-length", kWarning, Page,
     "The title is longer than title_max_length code points (default 60) or shorter than "
     "title_min_length (default 0)."},
    {DescriptionMissing, "ZORET203", "description-missing", kWarning, Page,
     "The page has no meta description, or a blank one."},
    {DescriptionLength, "ZORET204", "description-length", kWarning, Page,
     "The meta description is longer than description_max_length code points (default 160) or "
     "shorter than description_min_length (default 0)."},
    {CanonicalNotAbsolute, "ZORET205", "canonical-not-absolute", kWarning, Page,
     "The canonical link is not an absolute http(s) URL."},
    {CanonicalOgUrlMismatch, "ZORET206", "canonical-og-url-mismatch", kWarning, Page,
     "The canonical URL and og:url name different addresses."},
    {NoindexCanonicalElsewhere, "ZORET207", "noindex-canonical-elsewhere", kWarning, Page,
     "A noindex page declares a canonical URL other than its own."},
    {CanonicalOutsideSite, "ZORET208", "canonical-outside-site", kWarning, Page,
     "The canonical URL is on another host than the site's canonical host (when one is known)."},
    {CanonicalTargetMissing, "ZORET209", "canonical-target-missing", kError, Site,
     "The canonical URL is not among the audited pages, or answers with a 4xx or 5xx status."},
    {CanonicalTargetRedirected, "ZORET210", "canonical-target-redirected", kWarning, Site,
     "The canonical URL redirects."},
    {CanonicalTargetNoindex, "ZORET211", "canonical-target-noindex", kError, Site,
     "The canonical URL is a noindex page."},
    {SitemapNoindex, "ZORET212", "sitemap-noindex", kWarning, Site,
     "The sitemap lists a noindex page."},
    {SitemapNotOk, "ZORET213", "sitemap-not-ok", kWarning, Site,
     "The sitemap lists a URL that does not answer 200: a redirect, a client or a server error."},
    {SitemapDisallowed, "ZORET214", "sitemap-disallowed", kError, Site,
     "The sitemap lists a URL that robots.txt disallows."},
    {HreflangNoSelf, "ZORET215", "hreflang-no-self", kWarning, Page,
     "The page's hreflang alternates do not include the page itself."},
    {HreflangNoReturn, "ZORET216", "hreflang-no-return", kError, Site,
     "An audited hreflang alternate of the page does not list the page among its alternates."},
    {DuplicateTitle, "ZORET217", "duplicate-title", kWarning, Site,
     "Another indexable page has the same title."},
    {DuplicateDescription, "ZORET218", "duplicate-description", kWarning, Site,
     "Another indexable page has the same meta description."},
    {JsonLdInvalid, "ZORET219", "jsonld-invalid", kError, Page,
     "A JSON-LD script is not valid JSON."},
    {JsonLdMissingRequired, "ZORET220", "jsonld-missing-required", kError, Page,
     "A JSON-LD node lacks a property that its rich-result profile requires."},
    {JsonLdMissingRecommended, "ZORET221", "jsonld-missing-recommended", kInfo, Page,
     "A JSON-LD node lacks a property that its rich-result profile recommends."},
    {SocialImageRelative, "ZORET222", "social-image-relative", kWarning, Page,
     "An og:image or twitter:image is not an absolute http(s) URL."},
};

static_assert(std::size(kRules) == kAuditRuleCount, "one row per rule");

constexpr bool rows_in_rule_order() {
  for (std::size_t i = 0; i < std::size(kRules); ++i) {
    if (static_cast<std::size_t>(kRules[i].rule) != i) return false;
  }
  return true;
}
static_assert(rows_in_rule_order(), "row i describes rule i");

}  // namespace

std::span<const AuditRuleInfo> audit_rule_table() noexcept { return kRules; }

const AuditRuleInfo& rule_info(AuditRule rule) noexcept {
  return kRules[static_cast<std::size_t>(rule)];
}

std::optional<AuditRule> find_audit_rule(std::string_view id_or_name) noexcept {
  for (const AuditRuleInfo& row : kRules) {
    if (row.id == id_or_name || row.name == id_or_name) return row.rule;
  }
  return std::nullopt;
}

std::string_view scope_name(AuditScope scope) noexcept {
  return scope == AuditScope::Page ? "page" : "site";
}

}  // namespace zoret
