#include "zoret/audit/audit_rules.hpp"

#include "zoret/url/whatwg.hpp"

namespace zoret {

AuditRules::AuditRules() noexcept {
  enabled.fill(true);
  for (const AuditRuleInfo& row : audit_rule_table()) {
    severity[static_cast<std::size_t>(row.rule)] = row.severity;
  }
}

Result<std::string> normalize_site_host(std::string_view text) {
  auto refuse = [&] {
    return ZoretError(
        ErrorKind::InvalidConfiguration,
        "site host must be a host name, optionally with a port: \"" + std::string(text) + "\"");
  };
  // Everything but the host and port is refused before parsing, since the parser
  // would take it for a path, credentials or a query.
  if (text.empty() || text.find_first_of("/\\?#@ \t\r\n") != std::string_view::npos) {
    return refuse();
  }
  auto parsed = url::parse_url("http://" + std::string(text));
  if (!parsed || !parsed->host || parsed->host->empty() || parsed->path != "/") return refuse();
  std::string out = *std::move(parsed->host);
  if (parsed->port) {
    out += ':';
    out += std::to_string(*parsed->port);
  }
  return out;
}

Result<void> validate(const AuditRules& rules) {
  auto bounds = [](std::string_view what, std::uint32_t min, std::uint32_t max) -> Result<void> {
    if (min <= max) return {};
    return ZoretError(ErrorKind::InvalidConfiguration,
                      std::string(what) + "_min_length (" + std::to_string(min) +
                          ") is greater than " + std::string(what) + "_max_length (" +
                          std::to_string(max) + ")");
  };
  if (auto r = bounds("title", rules.title_min_length, rules.title_max_length); !r) return r;
  if (auto r = bounds("description", rules.description_min_length, rules.description_max_length);
      !r)
    return r;
  if (rules.site_host) {
    auto normal = normalize_site_host(*rules.site_host);
    if (!normal) return normal.error();
    if (*normal != *rules.site_host) {
      return ZoretError(
          ErrorKind::InvalidConfiguration,
          "site host \"" + *rules.site_host + "\" is not in normal form (\"" + *normal + "\")");
    }
  }
  return {};
}

}  // namespace zoret
