#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zoret/audit/rule_table.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// How a site audit runs its rules: which ones, at which severity, with which
/// bounds. A default-constructed value runs every rule at its table severity.
struct AuditRules {
  std::array<bool, kAuditRuleCount> enabled{};
  std::array<ContractSeverity, kAuditRuleCount> severity{};
  /// Bounds of title-length and description-length in Unicode code points, as
  /// the payload validation counts them; a minimum of 0 sets no lower bound.
  std::uint32_t title_min_length = 0;
  std::uint32_t title_max_length = 60;
  std::uint32_t description_min_length = 0;
  std::uint32_t description_max_length = 160;
  /// The site's canonical host, as `normalize_site_host` returns it; when
  /// absent, the configuration's `canonical_host` stands in, and without either
  /// the rules that need one compare paths only.
  std::optional<std::string> site_host;

  AuditRules() noexcept;

  [[nodiscard]] bool is_enabled(AuditRule rule) const noexcept {
    return enabled[static_cast<std::size_t>(rule)];
  }
  [[nodiscard]] ContractSeverity severity_of(AuditRule rule) const noexcept {
    return severity[static_cast<std::size_t>(rule)];
  }

  friend bool operator==(const AuditRules&, const AuditRules&) = default;
};

/// A host as the audit compares hosts: "Example.COM" gives "example.com", an
/// internationalised name its ASCII form, and a port is kept ("example.com:8080").
/// Errors: InvalidConfiguration "site host must be a host name, optionally with a
/// port: \"<text>\"" for a text with a scheme, path, credentials, query or
/// fragment, or one that the URL host parser refuses.
[[nodiscard]] Result<std::string> normalize_site_host(std::string_view text);

/// Checks that each minimum length is at most its maximum and that the site host
/// is in the form `normalize_site_host` gives.
/// Errors: InvalidConfiguration naming the first offending field.
[[nodiscard]] Result<void> validate(const AuditRules& rules);

}  // namespace zoret
