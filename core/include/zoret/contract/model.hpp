#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/json.hpp"
#include "zoret/result.hpp"

namespace zoret {

// Fields carry explicit initializers so that a designated initializer may name
// any subset of them without tripping -Wmissing-field-initializers.

/// A presence expectation on one kind of page metadata (Open Graph, Twitter
/// Card, sitemap entry, hreflang annotation).
struct FieldExpectation {
  std::optional<bool> required{};

  friend bool operator==(const FieldExpectation&, const FieldExpectation&) = default;
};

/// An expectation on the page's JSON-LD.
struct SchemaExpectation {
  std::optional<bool> required{};
  /// schema.org type names.
  std::optional<std::vector<std::string>> types{};

  friend bool operator==(const SchemaExpectation&, const SchemaExpectation&) = default;
};

struct SEOExpectation;

/// An optional `SEOExpectation` owned by another one (its `title` or
/// `description`). It behaves like `std::optional<SEOExpectation>`: copies are
/// deep and comparison is by value. Copying, comparing and destroying walk the
/// nesting without recursion, so a chain of any depth is safe on a small stack.
/// As with standard containers, an expectation cannot be assigned a value that
/// lives inside its own `title` (`e = *e.title`): the member-wise assignment
/// frees the source half way through. Copy it out first.
class NestedExpectation {
 public:
  NestedExpectation() noexcept = default;
  NestedExpectation(std::nullopt_t) noexcept {}
  NestedExpectation(const SEOExpectation& value);
  NestedExpectation(SEOExpectation&& value);
  NestedExpectation(const NestedExpectation& other);
  NestedExpectation(NestedExpectation&& other) noexcept = default;
  NestedExpectation& operator=(const NestedExpectation& other);
  NestedExpectation& operator=(NestedExpectation&& other) noexcept;
  ~NestedExpectation();

  [[nodiscard]] bool has_value() const noexcept { return value_ != nullptr; }
  explicit operator bool() const noexcept { return has_value(); }
  SEOExpectation& operator*();
  const SEOExpectation& operator*() const;
  SEOExpectation* operator->();
  const SEOExpectation* operator->() const;
  void reset() noexcept;

  friend bool operator==(const NestedExpectation& a, const NestedExpectation& b);

 private:
  static void destroy(std::unique_ptr<SEOExpectation> root) noexcept;

  std::unique_ptr<SEOExpectation> value_;
};

/// Expectations on a page or, nested under `title` / `description`, on one text
/// field of it. Every field is optional; an absent field places no constraint.
/// Nothing is validated: patterns are not compiled, bounds not compared.
/// Fields are in serialisation order. A new field must also be added to the
/// field list in model.cpp that copies and compares nested expectations.
struct SEOExpectation {
  std::optional<bool> required{};
  std::optional<bool> forbidden{};
  std::optional<std::string> equals{};
  std::optional<std::string> not_equals{};
  std::optional<std::string> contains{};
  /// A regular expression, stored uncompiled.
  std::optional<std::string> matches{};
  std::optional<std::vector<std::string>> one_of{};
  std::optional<std::uint64_t> min_length{};
  std::optional<std::uint64_t> max_length{};
  std::optional<std::uint64_t> min_items{};
  std::optional<std::uint64_t> max_items{};
  std::optional<bool> indexable{};
  /// Expected canonical behaviour, for example "self".
  std::optional<std::string> canonical{};
  std::optional<SchemaExpectation> schema{};
  std::optional<FieldExpectation> open_graph{};
  std::optional<FieldExpectation> twitter{};
  std::optional<FieldExpectation> sitemap{};
  std::optional<FieldExpectation> hreflang{};
  NestedExpectation title{};
  NestedExpectation description{};

  friend bool operator==(const SEOExpectation&, const SEOExpectation&) = default;
};

inline SEOExpectation& NestedExpectation::operator*() {
  ZORET_ASSERT(has_value());
  return *value_;
}
inline const SEOExpectation& NestedExpectation::operator*() const {
  ZORET_ASSERT(has_value());
  return *value_;
}
inline SEOExpectation* NestedExpectation::operator->() { return &**this; }
inline const SEOExpectation* NestedExpectation::operator->() const { return &**this; }

enum class ContractSeverity { Error, Warning, Info };

/// Exact, case-sensitive: "info" is Info, "warning" is Warning, and every other
/// text ("error", "Info", "fatal", "") is Error.
[[nodiscard]] ContractSeverity contract_severity_from_text(std::string_view text) noexcept;

/// The capitalised name written into contracts: "Error", "Warning", "Info".
[[nodiscard]] std::string_view contract_severity_name(ContractSeverity severity) noexcept;

/// Expectations that apply to every route matching `match` (a pattern such as
/// "/blog/*", stored unparsed).
struct SEOContractRule {
  std::string match{};
  SEOExpectation expect{};
  std::optional<ContractSeverity> severity{};

  friend bool operator==(const SEOContractRule&, const SEOContractRule&) = default;
};

struct ContractGenerator {
  std::string name{};
  std::string version{};

  friend bool operator==(const ContractGenerator&, const ContractGenerator&) = default;
};

struct ContractSite {
  std::string canonical_host{};
  std::string scheme{};

  friend bool operator==(const ContractSite&, const ContractSite&) = default;
};

/// The contract document. `exceptions` maps route paths to their expectations
/// in ascending byte order of the path.
struct SEOContract {
  std::string contract_version{};
  ContractGenerator generator{};
  ContractSite site{};
  SEOExpectation defaults{};
  std::vector<SEOContractRule> rules{};
  std::map<std::string, SEOExpectation> exceptions{};

  friend bool operator==(const SEOContract&, const SEOContract&) = default;
};

/// What a contract is built from. Host and scheme are taken as given.
struct SEOContractConfig {
  std::string canonical_host{};
  std::string scheme = "https";
  SEOExpectation defaults{};
  std::vector<SEOContractRule> rules{};
  std::map<std::string, SEOExpectation> exceptions{};

  friend bool operator==(const SEOContractConfig&, const SEOContractConfig&) = default;
};

/// Contract file format: each record is an object whose members come in
/// declaration order. Absent optional fields are left out (an expectation with
/// nothing set is {}); the members of contracts, generators and sites are always
/// written, with [] and {} for an empty rule list and exception map.
void write_json(JsonWriter& writer, const FieldExpectation& value);
void write_json(JsonWriter& writer, const SchemaExpectation& value);
/// Nested `title` / `description` expectations are written in full at any depth,
/// without recursion.
void write_json(JsonWriter& writer, const SEOExpectation& value);
void write_json(JsonWriter& writer, const SEOContractRule& value);
void write_json(JsonWriter& writer, const ContractGenerator& value);
void write_json(JsonWriter& writer, const ContractSite& value);
void write_json(JsonWriter& writer, const SEOContract& value);

}  // namespace zoret
