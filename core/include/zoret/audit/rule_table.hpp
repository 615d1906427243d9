#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "zoret/contract/model.hpp"

namespace zoret {

/// The site audit's rules, in the order of their ids (ZORET201 is the first).
/// They are a layer of their own beside the payload validation (ZORET101 to
/// ZORET108): new rules take the next free id, and an id is never reused.
enum class AuditRule : unsigned char {
  TitleMissing,
  TitleLength,
  DescriptionMissing,
  DescriptionLength,
  CanonicalNotAbsolute,
  CanonicalOgUrlMismatch,
  NoindexCanonicalElsewhere,
  CanonicalOutsideSite,
  CanonicalTargetMissing,
  CanonicalTargetRedirected,
  CanonicalTargetNoindex,
  SitemapNoindex,
  SitemapNotOk,
  SitemapDisallowed,
  HreflangNoSelf,
  HreflangNoReturn,
  DuplicateTitle,
  DuplicateDescription,
  JsonLdInvalid,
  JsonLdMissingRequired,
  JsonLdMissingRecommended,
  SocialImageRelative,
};

inline constexpr std::size_t kAuditRuleCount =
    static_cast<std::size_t>(AuditRule::SocialImageRelative) + 1;

/// Where a rule runs: on one page's facts (so in whichever process reads the
/// page), or on the summaries of every page of the site at the end.
enum class AuditScope : unsigned char { Page, Site };

/// One row of the rule table.
struct AuditRuleInfo {
  AuditRule rule;
  std::string_view id;    ///< "ZORET201"
  std::string_view name;  ///< "title-missing"
  ContractSeverity severity;
  AuditScope scope;
  std::string_view description;  ///< one line, what the rule reports
};

/// Every rule, ordered by id. This table is the one place rules are described:
/// the documentation is checked against it.
[[nodiscard]] std::span<const AuditRuleInfo> audit_rule_table() noexcept;

[[nodiscard]] const AuditRuleInfo& rule_info(AuditRule rule) noexcept;

/// The rule with this id ("ZORET201") or name ("title-missing"), exactly as
/// written in the table.
[[nodiscard]] std::optional<AuditRule> find_audit_rule(std::string_view id_or_name) noexcept;

/// "page" or "site".
[[nodiscard]] std::string_view scope_name(AuditScope scope) noexcept;

}  // namespace zoret
