#pragma once

#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "zoret/contract/model.hpp"

namespace zoret {

/// One failed constraint on one page. Contract checks leave `rule_id` absent;
/// site audits reuse the record with their rule ids ("ZORET201").
struct Violation {
  std::string route;
  /// The page's address: the one it was read from, else its public URL.
  std::optional<std::string> url;
  /// The constraint as a path into the expectation: "title.max_length",
  /// "canonical", "schema.types".
  std::string field;
  /// What the constraint asks for, as text: the expected value itself where the
  /// constraint names one ("Article", a URL, a regular expression), else a short
  /// phrase ("present and not blank", "at most 60 characters").
  std::string expected;
  /// What the page has, when there is something to show: the text, "absent",
  /// "72 characters".
  std::optional<std::string> actual;
  ContractSeverity severity = ContractSeverity::Error;
  /// The layer the constraint came from: "defaults", "rules[2] /blog/*",
  /// "exceptions[/about]".
  std::string source;
  /// One sentence for people.
  std::string message;
  std::optional<std::string> rule_id;

  friend auto operator<=>(const Violation&, const Violation&) = default;  // NOLINT(modernize-use-nullptr): clang-tidy 14 misreads defaulted <=>
};

/// A constraint in force that the facts could not decide, such as
/// `sitemap.required` for a page whose sitemap membership is not known. It is
/// neither passed nor failed.
struct NotChecked {
  std::string route;
  std::string field;
  std::string source;
  std::string reason;

  friend auto operator<=>(const NotChecked&, const NotChecked&) = default;
};

/// The outcome of checking one page.
struct CheckResult {
  /// In the order of the expectation's fields ("required" first, then
  /// "min_items", ..., "title.*", "description.*"), a field's violations in
  /// the order of its values (the `schema.types` list).
  std::vector<Violation> violations;
  /// Constraints evaluated, passed or failed; not-checked ones are not counted.
  std::size_t constraints_checked = 0;
  std::vector<NotChecked> not_checked;

  friend bool operator==(const CheckResult&, const CheckResult&) = default;
};

}  // namespace zoret
