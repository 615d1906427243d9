#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/check/compiled_contract.hpp"
#include "zoret/check/violation.hpp"
#include "zoret/config.hpp"
#include "zoret/entity.hpp"
#include "zoret/json.hpp"
#include "zoret/overrides.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// The entity of a manifest line (or of an entity file) from its form: a JSON
/// object whose keys are the arguments of `SEOEntity`, null meaning "not given".
/// `featured_image` is a URL or an object with `url`, `width`, `height` and
/// `alt`; `breadcrumbs` and `faq_items` are arrays of objects (`name` and
/// `url`, `question` and `answer`); `same_as` is an array of strings.
///
/// This is the same form that the Python package reads from dictionaries
/// (`zoret.forms.entity_from_dict`), and the two agree on every JSON value:
/// the same record, or an error with the same text. The texts are those of the
/// Python constructors ("'int' object cannot be converted to 'str' (while
/// processing 'title')"), after the nested record's location ("featured_image:
/// ..."). When a value has several problems, the first is reported in the
/// order of the Python reader, except that unknown keys are met in key order
/// (a JSON object here keeps no other).
/// Errors: InvalidEntity with that text.
[[nodiscard]] Result<SEOEntity> entity_from_form(Json&& form);

/// The overrides from their form, as `entity_from_form` (the keys are the
/// arguments of `SEOOverrides`; `robots` is an object with the arguments of
/// `Robots`; `og_image` and `twitter_image` are images; `schema_jsonld` any
/// JSON value). Errors: InvalidEntity.
[[nodiscard]] Result<SEOOverrides> overrides_from_form(Json&& form);

/// One line of a route manifest, a JSON Lines file that lists the pages of a
/// site as objects `{"route": "/blog/hello", "entity": {...}, "overrides":
/// {...}}`; `overrides` may be left out or null.
struct ManifestEntry {
  std::string route;
  SEOEntity entity;
  std::optional<SEOOverrides> overrides;
};

/// Reads one manifest line (without its line break; a trailing "\r" is
/// whitespace to the JSON parser). Errors: Serialization "invalid JSON: <the
/// parser's message>" or, for the line's own shape, "a manifest line must be a
/// JSON object, got list", "missing \"route\"", "\"route\" must be a string,
/// got int", "unknown key \"overide\" (a line has route, entity and
/// overrides)"; InvalidEntity "entity: <problem>" or "overrides: <problem>" for
/// the forms above.
[[nodiscard]] Result<ManifestEntry> read_manifest_line(std::string_view line);

/// What checking one manifest line found.
struct CheckedLine {
  std::string route;
  CheckResult result;
};

/// Reads one manifest line, builds its payload with `config` (no schema
/// registry, hooks or warnings: those are Python objects) and checks it
/// against `contract`, resolving canonical "self" through `config`.
/// Errors: those of `read_manifest_line`; the build's and the check's, of
/// their own kinds, as "cannot build the payload of \"<route>\": <display>" and
/// "cannot check \"<route>\": <display>".
[[nodiscard]] Result<CheckedLine> check_manifest_line(const CompiledContract& contract,
                                                      const SEOConfig& config,
                                                      std::string_view line);

/// One line of a snapshot file: `{"route":"/blog/hello","hash":"<64 hex
/// digits>","payload":{...}}` in compact JSON, where the hash is the payload's
/// (`hash_payload`, the ETag without quotes) and the payload its field-by-field
/// form, exactly the text that was hashed.
struct SnapshotLine {
  std::string route;
  std::string hash;
  std::string text;  ///< without a line break
};

/// Reads one manifest line, builds its payload with `config` and writes its
/// snapshot line. Errors: those of `read_manifest_line` and of the build (as in
/// `check_manifest_line`), and of hashing.
[[nodiscard]] Result<SnapshotLine> snapshot_manifest_line(const SEOConfig& config,
                                                          std::string_view line);

/// A constraint that could not be decided, and on how many routes.
struct NotCheckedCount {
  std::string field;
  std::string source;
  std::string reason;
  std::size_t routes = 0;

  friend bool operator==(const NotCheckedCount&, const NotCheckedCount&) = default;
};

/// Totals over many checked pages, for the summary of a run: memory stays
/// bounded by the number of distinct not-checked constraints, not of pages.
struct CheckTally {
  std::size_t routes = 0;
  std::size_t constraints = 0;
  /// Violations by severity, indexed by `ContractSeverity`.
  std::array<std::size_t, 3> violations{};
  /// In the order first met.
  std::vector<NotCheckedCount> not_checked;

  void add(const CheckResult& result);
};

}  // namespace zoret
