#pragma once

#include <optional>
#include <string>
#include <utility>

#include "frame/box.hpp"
#include "zoret/contract/model.hpp"

namespace zoret::py {

/// The Python rule keeps the severity text the caller wrote, so `severity` can
/// hand it back unchanged; the text becomes a ContractSeverity only when a
/// configuration is built from the rule.
struct ContractRuleArgs {
  std::string match;
  SEOExpectation expect;
  std::optional<std::string> severity;
};

/// The rule a configuration or contract holds; the severity text is read here.
inline SEOContractRule to_core_rule(ContractRuleArgs&& rule) {
  SEOContractRule out{.match = std::move(rule.match), .expect = std::move(rule.expect)};
  if (rule.severity) out.severity = contract_severity_from_text(*rule.severity);
  return out;
}

template <>
inline constexpr const char* kClassName<SEOExpectation> = "SEOExpectation";
template <>
inline constexpr const char* kClassName<ContractRuleArgs> = "SEOContractRule";
template <>
inline constexpr const char* kClassName<SEOContractConfig> = "SEOContractConfig";
template <>
inline constexpr const char* kClassName<SEOContract> = "SEOContract";

}  // namespace zoret::py
