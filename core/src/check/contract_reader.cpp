#include "zoret/check/contract_reader.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "check/json_locate.hpp"
#include "zoret/contract/builder.hpp"

namespace zoret {
namespace {

using detail::JsonStep;

constexpr std::array<std::string_view, 6> kContractKeys = {
    "contract_version", "generator", "site", "defaults", "rules", "exceptions"};
constexpr std::array<std::string_view, 2> kGeneratorKeys = {"name", "version"};
constexpr std::array<std::string_view, 2> kSiteKeys = {"canonical_host", "scheme"};
constexpr std::array<std::string_view, 3> kRuleKeys = {"match", "expect", "severity"};
constexpr std::array<std::string_view, 2> kSchemaKeys = {"required", "types"};
constexpr std::array<std::string_view, 1> kFieldKeys = {"required"};
constexpr std::array<std::string_view, 20> kExpectationKeys = {
    "required",   "forbidden",  "equals",    "not_equals", "contains",  "matches",    "one_of",
    "min_length", "max_length", "min_items", "max_items",  "indexable", "canonical",  "schema",
    "open_graph", "twitter",    "sitemap",   "hreflang",   "title",     "description"};

std::string_view type_name(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::number_integer: return "a negative integer";
    case Json::value_t::number_unsigned: return "an integer";
    case Json::value_t::number_float: return "a floating-point number";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    default: return "a value";
  }
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Functions return false once `error_` holds the first problem found; members
// are visited in key order, so that problem does not depend on the layout.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  Result<SEOContract> read(const Json& root) {
    SEOContract contract;
    if (!read_contract(root, contract)) return *std::move(error_);
    return contract;
  }

 private:
  class Step {
   public:
    Step(std::vector<JsonStep>& path, std::string_view key) : path_(path) {
      path_.push_back({std::string(key)});
    }
    Step(std::vector<JsonStep>& path, std::size_t index) : path_(path) {
      path_.push_back({{}, index, true});
    }
    ~Step() { path_.pop_back(); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

   private:
    std::vector<JsonStep>& path_;
  };

  bool fail(std::string_view problem, bool at_key = false, std::string_view hint = {}) {
    std::string message = detail::json_path_text(path_);
    if (!message.empty()) message += ": ";
    message += problem;
    if (!text_.empty()) {
      if (const auto where = detail::locate_json_path(text_, path_, at_key)) {
        message +=
            " at line " + std::to_string(where->line) + " column " + std::to_string(where->column);
      }
    }
    message += hint;
    error_.emplace(ErrorKind::Contract, std::move(message));
    return false;
  }

  bool wrong_type(std::string_view expected, const Json& value) {
    std::string problem = "expected ";
    problem += expected;
    problem += ", got ";
    problem += type_name(value);
    return fail(problem);
  }

  bool unknown_key(std::span<const std::string_view> known, std::string_view key) {
    std::string_view best;
    std::size_t best_distance = 3;
    for (const std::string_view candidate : known) {
      const std::size_t d = edit_distance(key, candidate);
      if (d < best_distance) {
        best = candidate;
        best_distance = d;
      }
    }
    std::string hint;
    if (!best.empty()) {
      hint = "; did you mean \"";
      hint += best;
      hint += "\"?";
    }
    return fail("unknown key", /*at_key=*/true, hint);
  }

  const Json::object_t* object_of(const Json& value) {
    const auto* object = value.get_ptr<const Json::object_t*>();
    if (object == nullptr) wrong_type("an object", value);
    return object;
  }

  // Visits the members of `value`, which must be an object with only `known`
  // keys and every `required` one; `visit(key, value)` reads one member with
  // the path pointing at it. A misspelt key is reported before the key it
  // should have been is missed.
  template <std::size_t N, class Visit>
  bool members(const Json& value, const std::array<std::string_view, N>& known,
               std::initializer_list<std::string_view> required, Visit&& visit) {
    const Json::object_t* object = object_of(value);
    if (object == nullptr) return false;
    for (const auto& entry : *object) {
      if (std::find(known.begin(), known.end(), entry.first) != known.end()) continue;
      Step step(path_, entry.first);
      return unknown_key(known, entry.first);
    }
    for (const std::string_view key : required) {
      if (object->find(key) == object->end()) {
        std::string problem = "missing key \"";
        problem += key;
        problem += '"';
        return fail(problem);
      }
    }
    for (const auto& [key, member] : *object) {
      Step step(path_, key);
      if (!visit(std::string_view(key), member)) return false;
    }
    return true;
  }

  bool read(const Json& value, bool& out) {
    if (!value.is_boolean()) return wrong_type("a boolean", value);
    out = value.get<bool>();
    return true;
  }

  bool read(const Json& value, std::string& out) {
    const auto* text = value.get_ptr<const Json::string_t*>();
    if (text == nullptr) return wrong_type("a string", value);
    out = *text;
    return true;
  }

  bool read(const Json& value, std::uint64_t& out) {
    if (value.is_number_unsigned()) {
      out = value.get<std::uint64_t>();
      return true;
    }
    if (value.is_number_integer() && value.get<std::int64_t>() >= 0) {
      out = static_cast<std::uint64_t>(value.get<std::int64_t>());
      return true;
    }
    return wrong_type("a non-negative integer", value);
  }

  bool read(const Json& value, std::vector<std::string>& out) {
    if (!value.is_array()) return wrong_type("an array of strings", value);
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
      Step step(path_, i);
      if (!read(value[i], out.emplace_back())) return false;
    }
    return true;
  }

  template <class T>
  bool read(const Json& value, std::optional<T>& out) {
    return read(value, out.emplace());
  }

  bool read(const Json& value, ContractSeverity& out) {
    std::string text;
    if (!read(value, text)) return false;
    for (const auto severity :
         {ContractSeverity::Error, ContractSeverity::Warning, ContractSeverity::Info}) {
      if (text == contract_severity_name(severity)) {
        out = severity;
        return true;
      }
    }
    return fail("expected \"Error\", \"Warning\" or \"Info\", got \"" + text + '"');
  }

  bool read(const Json& value, FieldExpectation& out) {
    return members(value, kFieldKeys, {}, [&](std::string_view, const Json& member) {
      return read(member, out.required);
    });
  }

  bool read(const Json& value, SchemaExpectation& out) {
    return members(value, kSchemaKeys, {}, [&](std::string_view key, const Json& member) {
      return key == "required" ? read(member, out.required) : read(member, out.types);
    });
  }

  bool read_expectation(const Json& value, SEOExpectation& out, int depth) {
    // Parsed text is already bounded by the parser; a value built elsewhere
    // might not be.
    if (depth >= kMaxParseDepth) return fail("expectations nested too deeply");
    return members(value, kExpectationKeys, {}, [&](std::string_view key, const Json& member) {
      if (key == "required") return read(member, out.required);
      if (key == "forbidden") return read(member, out.forbidden);
      if (key == "equals") return read(member, out.equals);
      if (key == "not_equals") return read(member, out.not_equals);
      if (key == "contains") return read(member, out.contains);
      if (key == "matches") return read(member, out.matches);
      if (key == "one_of") return read(member, out.one_of);
      if (key == "min_length") return read(member, out.min_length);
      if (key == "max_length") return read(member, out.max_length);
      if (key == "min_items") return read(member, out.min_items);
      if (key == "max_items") return read(member, out.max_items);
      if (key == "indexable") return read(member, out.indexable);
      if (key == "canonical") return read(member, out.canonical);
      if (key == "schema") return read(member, out.schema);
      if (key == "open_graph") return read(member, out.open_graph);
      if (key == "twitter") return read(member, out.twitter);
      if (key == "sitemap") return read(member, out.sitemap);
      if (key == "hreflang") return read(member, out.hreflang);
      NestedExpectation& nested = key == "title" ? out.title : out.description;
      SEOExpectation inner;
      if (!read_expectation(member, inner, depth + 1)) return false;
      nested = std::move(inner);
      return true;
    });
  }

  bool read_rule(const Json& value, SEOContractRule& out) {
    return members(value, kRuleKeys, {"match", "expect"}, [&](std::string_view key, const Json& member) {
      if (key == "match") return read(member, out.match);
      if (key == "expect") return read_expectation(member, out.expect, 0);
      return read(member, out.severity);
    });
  }

  // The version is read first, so that a newer file fails on it rather than on
  // the keys that came with it.
  bool read_version(const Json& root) {
    const Json::object_t* object = object_of(root);
    if (object == nullptr) return false;
    const auto found = object->find("contract_version");
    if (found == object->end()) return true;  // reported as a missing key
    Step step(path_, "contract_version");
    std::string version;
    if (!read(found->second, version)) return false;
    if (version == kContractVersion) return true;
    std::string problem = "unsupported version ";
    append_json_string(problem, version);
    problem += " (this version of zoret reads ";
    problem += kReadableContractVersions;
    problem += ')';
    return fail(problem);
  }

  bool read_contract(const Json& root, SEOContract& out) {
    if (!read_version(root)) return false;
    return members(root, kContractKeys, {"contract_version", "site"}, [&](std::string_view key, const Json& member) {
      if (key == "contract_version") return read(member, out.contract_version);
      if (key == "generator") {
        return members(member, kGeneratorKeys, {"name", "version"}, [&](std::string_view k, const Json& v) {
          return read(v, k == "name" ? out.generator.name : out.generator.version);
        });
      }
      if (key == "site") {
        return members(member, kSiteKeys, {"canonical_host", "scheme"}, [&](std::string_view k, const Json& v) {
          return read(v, k == "scheme" ? out.site.scheme : out.site.canonical_host);
        });
      }
      if (key == "defaults") return read_expectation(member, out.defaults, 0);
      if (key == "rules") {
        if (!member.is_array()) return wrong_type("an array of rules", member);
        out.rules.resize(member.size());
        for (std::size_t i = 0; i < member.size(); ++i) {
          Step step(path_, i);
          if (!read_rule(member[i], out.rules[i])) return false;
        }
        return true;
      }
      const Json::object_t* exceptions = object_of(member);
      if (exceptions == nullptr) return false;
      for (const auto& [route, expectation] : *exceptions) {
        Step step(path_, route);
        if (!read_expectation(expectation, out.exceptions[route], 0)) return false;
      }
      return true;
    });
  }

  std::string_view text_;
  std::vector<JsonStep> path_;
  std::optional<ZoretError> error_;
};

}  // namespace

Result<SEOContract> read_contract(std::string_view text) {
  auto parsed = parse_json(text);
  if (!parsed) return ZoretError(ErrorKind::Contract, "invalid JSON: " + parsed.error().message());
  return Reader(text).read(*parsed);
}

Result<SEOContract> contract_from_json(const Json& value) { return Reader({}).read(value); }

}  // namespace zoret
