#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/contract/model.hpp"
#include "zoret/json.hpp"
#include "zoret/result.hpp"

namespace zoret {

namespace detail {
struct CompiledContractData;
}

/// A contract prepared for checking many pages: route patterns compiled,
/// regular expressions compiled, canonical expectations resolved. Immutable;
/// copies share the compiled data, and one contract may serve many threads.
///
/// Layering: for a route path, the expectation in force is `defaults`, then
/// every rule whose pattern matches, in contract order, then the exception for
/// exactly that path. Each field of the expectation is a constraint of its
/// own: one set in a later layer replaces the same field from an earlier one;
/// fields of `title`, `description` and `schema` layer one by one (so a rule
/// may tighten `title.max_length` while the defaults keep `title.required`).
/// A constraint keeps the name and severity of its layer: "defaults" and
/// "exceptions[/about]" are errors, "rules[2] /blog/*" has its rule's severity
/// (Error when absent). Rules are counted from 0.
///
/// Only fields that mean something where they stand are compiled: at page
/// level `required`, `forbidden`, `min_items`, `max_items`, `indexable`,
/// `canonical`, `schema`, `open_graph`, `twitter`, `sitemap` and `hreflang`;
/// inside `title` and `description` the text constraints `required`,
/// `forbidden`, `equals`, `not_equals`, `contains`, `matches`, `one_of`,
/// `min_length` and `max_length`. Any other field is never checked and is
/// reported by `lint_contract`.
class CompiledContract {
 public:
  /// The contract this was compiled from.
  [[nodiscard]] const SEOContract& contract() const noexcept;

 private:
  friend Result<CompiledContract> compile_contract(const SEOContract& contract);
  friend const detail::CompiledContractData& compiled_data(const CompiledContract& contract);

  explicit CompiledContract(std::shared_ptr<const detail::CompiledContractData> data)
      : data_(std::move(data)) {}

  std::shared_ptr<const detail::CompiledContractData> data_;
};

/// Compiles `contract`.
/// Errors: Contract "<layer>: <field>: <problem>" for the first layer, in
/// layering order, whose value cannot be checked:
/// - a `matches` that RE2 refuses: "rules[2] /blog/*: title.matches: invalid
///   regular expression: missing ): (a" or "... regular expression too large
///   (more than 1 MiB compiled): ...";
/// - a `canonical` that is none of "self", "absent", an absolute http(s) URL or
///   a path starting with "/" (but not "//").
[[nodiscard]] Result<CompiledContract> compile_contract(const SEOContract& contract);

/// One layer that applies to a route.
struct ExplainedLayer {
  std::string name;  ///< "defaults", "rules[2] /blog/*", "exceptions[/about]"
  ContractSeverity severity = ContractSeverity::Error;

  friend bool operator==(const ExplainedLayer&, const ExplainedLayer&) = default;
};

/// One constraint of the expectation in force, and where it came from.
struct ExplainedConstraint {
  std::string field;  ///< "title.max_length"
  Json value;         ///< as written in the contract: true, 60, "self", ["Article"]
  std::string source;
  ContractSeverity severity = ContractSeverity::Error;

  friend bool operator==(const ExplainedConstraint& a, const ExplainedConstraint& b);
};

/// The expectation in force for one route.
struct Explanation {
  std::string route;  ///< the route path the patterns were matched against
  /// The layers that apply, in layering order: defaults, the matching rules,
  /// the route's exception when it has one.
  std::vector<ExplainedLayer> layers;
  /// In field order. `required: false` and similar relaxations are listed too:
  /// they show which layer lifted a constraint.
  std::vector<ExplainedConstraint> constraints;

  friend bool operator==(const Explanation&, const Explanation&) = default;
};

/// The layered expectation for `route` (query and fragment are ignored).
[[nodiscard]] Explanation explain(const CompiledContract& contract, std::string_view route);

/// The explanation for people, one line each: the route, every layer that
/// applies and why (every route, the rule's pattern matches, the exact route),
/// then every constraint with its value as JSON, its layer and severity:
///
///     /blog/hello
///       defaults                 every route                  error
///       rules[0] /blog/*         pattern "/blog/*" matches    warning
///     constraints
///       indexable                true                         defaults
///       title.max_length         60                           rules[0] /blog/* (warning)
///
/// A constraint's severity is named only when it is not "error". Layers and
/// constraints are "(none)" when there are none. No final line break.
[[nodiscard]] std::string explanation_text(const Explanation& explanation);

/// "error", "warning", "info": the lower-case severity names shown to people.
[[nodiscard]] std::string_view severity_label(ContractSeverity severity) noexcept;

}  // namespace zoret
