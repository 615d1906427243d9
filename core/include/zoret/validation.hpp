#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/json.hpp"
#include "zoret/payload.hpp"

namespace zoret {

/// How serious a finding is. The built-in rules all report `Warning`.
enum class IssueSeverity { Error, Warning, Info };

/// "error", "warning" or "info".
[[nodiscard]] std::string_view severity_text(IssueSeverity severity) noexcept;

/// One finding of `validate`.
struct SEOIssue {
  std::string rule_id;  ///< "ZORET101" to "ZORET108"
  IssueSeverity severity = IssueSeverity::Warning;
  std::string message;
  std::optional<std::string> url;
  std::map<std::string, Json> details;

  /// JSON details compare strictly (see `json_equal`).
  friend bool operator==(const SEOIssue& a, const SEOIssue& b);
};

/// Findings about title, description, canonical URL, Open Graph image and robots
/// directives, in that order; empty when the payload passes. Lengths count code
/// points; "absolute" means the URL starts with "http://" or "https://".
[[nodiscard]] std::vector<SEOIssue> validate(const SEOPayload& payload);

/// The same as `validate`, under the name the module exposes.
[[nodiscard]] inline std::vector<SEOIssue> validate_payload(const SEOPayload& payload) {
  return validate(payload);
}

}  // namespace zoret
