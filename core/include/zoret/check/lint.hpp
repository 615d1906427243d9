#pragma once

#include <string>
#include <vector>

#include "zoret/contract/model.hpp"

namespace zoret {

/// Something in a contract that cannot work as written: a field that means
/// nothing where it stands, constraints that contradict each other, a pattern
/// that can never match. The checks never evaluate such a field; the lint is
/// how its author learns that.
struct LintFinding {
  /// "site", "defaults", "rules[2] /blog/*", "exceptions[/about]".
  std::string layer;
  /// The field within the layer ("title.indexable", "match", "min_length"),
  /// empty when the finding is about the layer as a whole.
  std::string field;
  std::string message;

  friend auto operator<=>(const LintFinding&, const LintFinding&) = default;
};

/// Every finding, site first, then layer by layer in layering order (defaults,
/// rules, exceptions), each layer's in field order. What is reported:
/// - at page level, the text constraints `equals`, `not_equals`, `contains`,
///   `matches`, `one_of`, `min_length`, `max_length` (they belong under
///   `title` or `description`);
/// - inside `title` / `description`, everything but those and `required` /
///   `forbidden` (`indexable`, `min_items`, a nested `title`, ...);
/// - `required: true` with `forbidden: true`; a minimum above its maximum;
///   `equals` that `one_of` leaves out or that `not_equals` rules out; an empty
///   `one_of`;
/// - what `compile_contract` refuses: a `canonical` it cannot read, a `matches`
///   RE2 refuses;
/// - a rule pattern that cannot match a route path (empty, no leading "/", a
///   "?" or "#"), an exception path that cannot be a route path;
/// - an empty site host or a scheme other than "http" / "https" when a layer
///   compares canonicals against the contract's site ("self" or a path).
[[nodiscard]] std::vector<LintFinding> lint_contract(const SEOContract& contract);

}  // namespace zoret
