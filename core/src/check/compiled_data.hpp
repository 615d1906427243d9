#pragma once

// The compiled form of a contract, shared by compilation, explanation and the
// checks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

/// Hashes texts and views alike, so that maps keyed by std::string can be
/// searched with a std::string_view.
/// FNV-1a: route paths and segments are short, and for them it costs less
/// than the library's hash.
struct TextHash {
  using is_transparent = void;  // NOLINT(readability-identifier-naming): the name the standard library looks for
  std::size_t operator()(std::string_view text) const noexcept {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    return static_cast<std::size_t>(hash);
  }
};

template <class T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

/// The first segment of a route path: "blog" for "/blog/post".
[[nodiscard]] inline std::string_view first_segment(std::string_view path) noexcept {
  if (path.empty()) return path;
  const std::size_t slash = path.find('/', 1);
  return path.substr(1, (slash == std::string_view::npos ? path.size() : slash) - 1);
}

/// The first segment of a pattern when every route it matches has that first
/// segment: the pattern starts with "/" and has no star before the next "/".
[[nodiscard]] std::optional<std::string_view> literal_first_segment(
    std::string_view pattern) noexcept;

struct CompiledContractData {
  SEOContract contract;
  /// scheme "://" canonical_host of the contract's site.
  std::string site_origin;
  /// Defaults first, then one per rule, then one per exception.
  std::vector<Layer> layers;
  std::vector<CompiledRule> rules;
  /// Only routes whose first segment is S can match a pattern that starts with
  /// "/S/" (or is "/S"): such rules are listed under S, by rule index, and only
  /// they and `rules_anywhere` are tried for a route.
  TextMap<std::vector<std::uint32_t>> rules_by_first_segment;
  std::vector<std::uint32_t> rules_anywhere;
  /// The layer of each exception, by route path (one entry per path).
  TextMap<std::uint32_t> exceptions;
  /// Bit n is set when some exception path has a length of n modulo 64, so
  /// that most routes skip hashing.
  std::uint64_t exception_lengths = 0;
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
  // The two candidate lists hold rule indexes in ascending order; merging them
  // keeps the rules in contract order.
  static const std::vector<std::uint32_t> kNone;
  const auto bucket = data.rules_by_first_segment.find(first_segment(path));
  const std::vector<std::uint32_t>& by_segment =
      bucket == data.rules_by_first_segment.end() ? kNone : bucket->second;
  auto a = by_segment.begin();
  auto b = data.rules_anywhere.begin();
  while (a != by_segment.end() || b != data.rules_anywhere.end()) {
    const bool take_a = b == data.rules_anywhere.end() || (a != by_segment.end() && *a < *b);
    const CompiledRule& rule = data.rules[take_a ? *a++ : *b++];
    if (rule.pattern.matches(path)) apply(rule.layer);
  }
  if ((data.exception_lengths >> (path.size() % 64) & 1U) == 0) return;
  const auto exception = data.exceptions.find(path);
  if (exception != data.exceptions.end()) apply(exception->second);
}

}  // namespace zoret::detail

namespace zoret {

[[nodiscard]] const detail::CompiledContractData& compiled_data(const CompiledContract& contract);

}  // namespace zoret
