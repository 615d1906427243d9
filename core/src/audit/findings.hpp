#pragma once

// How audit rules write their findings: one `Violation` per finding, with the
// rule's id, name and configured severity, and nothing written for a rule that
// is switched off.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zoret/audit/audit_rules.hpp"
#include "zoret/check/violation.hpp"

namespace zoret::detail {

/// What a finding says beyond its rule and page.
struct Finding {
  std::string field;
  std::string expected;
  std::optional<std::string> actual;
  std::string message;
};

class Findings {
 public:
  Findings(const AuditRules& rules, std::vector<Violation>& out) : rules_(rules), out_(out) {}

  [[nodiscard]] bool on(AuditRule rule) const noexcept { return rules_.is_enabled(rule); }

  void add(AuditRule rule, std::string_view route, const std::optional<std::string>& url,
           Finding finding) {
    const AuditRuleInfo& info = rule_info(rule);
    Violation& v = out_.emplace_back();
    v.route = route;
    v.url = url;
    v.field = std::move(finding.field);
    v.expected = std::move(finding.expected);
    v.actual = std::move(finding.actual);
    v.severity = rules_.severity_of(rule);
    v.source = info.name;
    v.message = std::move(finding.message);
    v.rule_id = std::string(info.id);
  }

 private:
  const AuditRules& rules_;
  std::vector<Violation>& out_;
};

/// `text` in double quotes, cut after `kExcerptLength` code points with "..."
/// so that a hostile page cannot make a message of megabytes.
[[nodiscard]] std::string quote_text(std::string_view text);

/// `text` cut the same way, without quotes.
[[nodiscard]] std::string excerpt(std::string_view text);

inline constexpr std::size_t kExcerptLength = 200;

/// "1 character", "72 characters".
[[nodiscard]] std::string characters(std::size_t n);

}  // namespace zoret::detail
