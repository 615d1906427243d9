#pragma once

// The compiled form of a contract, shared by compilation, explanation and the
// checks.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/regex.hpp"
#include "zoret/check/compiled_contract.hpp"
#include "zoret/check/route_pattern.hpp"
#include "zoret/contract/model.hpp"

namespace zoret::detail {

/// The constraints a page can be checked against, in the order of the
/// expectation's fields; violations are reported in this order.
enum class CheckField : std::uint8_t {
  Required,
  Forbidden,
  MinItems,
  MaxItems,
  Indexable,
  Canonical,
  SchemaRequired,
  SchemaTypes,
  OpenGraphRequired,
  TwitterRequired,
  SitemapRequired,
  HreflangRequired,
  TitleFirst,
  DescriptionFirst = TitleFirst + 9,
  Count = DescriptionFirst + 9,
};

/// The constraints on one text (title or description), as offsets from
/// `TitleFirst` / `DescriptionFirst`.
enum class TextField : std::uint8_t {
  Required,
  Forbidden,
  Equals,
  NotEquals,
  Contains,
  Matches,
  OneOf,
  MinLength,
  MaxLength,
};

inline constexpr std::size_t kCheckFieldCount = static_cast<std::size_t>(CheckField::Count);

/// "title.max_length" and so on, indexed by `CheckField`.
[[nodiscard]] std::string_view check_field_name(std::size_t field) noexcept;

enum class CanonicalKind : std::uint8_t { Self, Absent, Url };

/// How a `canonical` value reads: "self", "absent", an absolute http(s) URL, or a
/// path starting with "/" (not "//"), which is a URL on the contract's site.
[[nodiscard]] std::optional<CanonicalKind> canonical_kind(std::string_view value) noexcept;

/// Why a `canonical` value cannot be read.
[[nodiscard]] std::string canonical_problem(std::string_view value);

struct Constraint {
  std::uint8_t field = 0;
  std::uint32_t layer = 0;
  bool flag = false;
  std::uint64_t number = 0;
  /// The text as written (`equals`, `matches`, `canonical`, ...).
  std::string text;
  /// `one_of`, `schema.types`.
  std::vector<std::string> list;
  CanonicalKind canonical = CanonicalKind::Self;
  /// The URL a canonical path or URL expectation compares against.
  std::string canonical_url;
  Regex regex;
};

struct Layer {
  std::string name;
  ContractSeverity severity = ContractSeverity::Error;
  std::vector<Constraint> constraints;
};

struct CompiledRule {
  RoutePattern pattern;
  std::uint32_t layer;
};

struct CompiledContractData {
  SEOContract contract;
  /// scheme "://" canonical_host of the contract's site.
  std::string site_origin;
  /// Defaults first, then one per rule, then one per exception.
  std::vector<Layer> layers;
  std::vector<CompiledRule> rules;
  /// Ascending by path.
  std::vector<std::pair<std::string, std::uint32_t>> exceptions;
};

using Slots = std::array<const Constraint*, kCheckFieldCount>;

/// Fills `slots` with the constraints in force for `path` and calls
/// `on_layer(layer)` for each layer that applies, in layering order.
template <class OnLayer>
void layer_constraints(const CompiledContractData& data, std::string_view path, Slots& slots,
                       OnLayer&& on_layer) {
  auto apply = [&](std::uint32_t index) {
    const Layer& layer = data.layers[index];
    for (const Constraint& c : layer.constraints) slots[c.field] = &c;
    on_layer(layer);
  };
  apply(0);
  for (const CompiledRule& rule : data.rules) {
    if (rule.pattern.matches(path)) apply(rule.layer);
  }
  const auto& exceptions = data.exceptions;
  auto it = std::lower_bound(
      exceptions.begin(), exceptions.end(), path,
      [](const std::pair<std::string, std::uint32_t>& e, std::string_view p) { return e.first < p; });
  if (it != exceptions.end() && it->first == path) apply(it->second);
}

}  // namespace zoret::detail

namespace zoret {

[[nodiscard]] const detail::CompiledContractData& compiled_data(const CompiledContract& contract);

}  // namespace zoret
