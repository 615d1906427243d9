#pragma once

#include <optional>
#include <string>

#include "frame/box.hpp"
#include "zoret/validation.hpp"

namespace zoret::py {

/// One finding as Python sees it; the details are kept as compact JSON text and
/// decoded on each access, so the object owns no JSON value.
struct Issue {
  std::string rule_id;
  std::string severity;
  std::string message;
  std::optional<std::string> url;
  std::string details_json;
};
template <>
inline constexpr const char* kClassName<Issue> = "SEOIssue";

Issue to_issue(const SEOIssue& finding);

}  // namespace zoret::py
