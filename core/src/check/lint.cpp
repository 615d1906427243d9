#include "zoret/check/lint.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "check/compiled_data.hpp"
#include "check/regex.hpp"

namespace zoret {
namespace {

class Linter {
 public:
  explicit Linter(std::vector<LintFinding>& out) : out_(out) {}

  void layer(std::string name, const SEOExpectation& e) {
    layer_ = std::move(name);
    page(e);
    if (e.title) text("title.", *e.title);
    if (e.description) text("description.", *e.description);
  }

  void report(std::string_view field, std::string message) {
    out_.push_back({layer_, std::string(field), std::move(message)});
  }

  void set_layer(std::string name) { layer_ = std::move(name); }

 private:
  void meaningless(std::string_view prefix, std::string_view field, std::string_view where,
                   std::string_view advice) {
    std::string message = "has no meaning ";
    message += where;
    message += " and is never checked";
    message += advice;
    report(std::string(prefix) + std::string(field), std::move(message));
  }

  void contradictions(std::string_view prefix, const SEOExpectation& e) {
    if (e.required.value_or(false) && e.forbidden.value_or(false)) {
      report(std::string(prefix) + "forbidden",
             "contradicts required: true in the same layer; no page can satisfy both");
    }
  }

  void page(const SEOExpectation& e) {
    constexpr std::string_view kWhere = "at page level";
    constexpr std::string_view kAdvice = "; put it under title or description";
    const std::pair<std::string_view, bool> text_fields[] = {
        {"equals", e.equals.has_value()},         {"not_equals", e.not_equals.has_value()},
        {"contains", e.contains.has_value()},     {"matches", e.matches.has_value()},
        {"one_of", e.one_of.has_value()},         {"min_length", e.min_length.has_value()},
        {"max_length", e.max_length.has_value()},
    };
    contradictions("", e);
    for (const auto& [field, set] : text_fields) {
      if (set) meaningless("", field, kWhere, kAdvice);
    }
    if (e.min_items && e.max_items && *e.min_items > *e.max_items) {
      report("min_items", "is above max_items (" + std::to_string(*e.min_items) + " > " +
                              std::to_string(*e.max_items) + "); no page can satisfy both");
    }
    if (e.canonical && !detail::canonical_kind(*e.canonical)) {
      report("canonical", detail::canonical_problem(*e.canonical));
    }
  }

  void text(std::string_view prefix, const SEOExpectation& e) {
    const std::string where = "inside " + std::string(prefix.substr(0, prefix.size() - 1));
    const std::pair<std::string_view, bool> page_fields[] = {
        {"min_items", e.min_items.has_value()},     {"max_items", e.max_items.has_value()},
        {"indexable", e.indexable.has_value()},     {"canonical", e.canonical.has_value()},
        {"schema", e.schema.has_value()},           {"open_graph", e.open_graph.has_value()},
        {"twitter", e.twitter.has_value()},         {"sitemap", e.sitemap.has_value()},
        {"hreflang", e.hreflang.has_value()},       {"title", e.title.has_value()},
        {"description", e.description.has_value()},
    };
    contradictions(prefix, e);
    if (e.equals && e.not_equals && *e.equals == *e.not_equals) {
      report(std::string(prefix) + "not_equals", "rules out the value that equals demands");
    }
    if (e.matches) {
      if (auto regex = detail::compile_regex(*e.matches); !regex) {
        report(std::string(prefix) + "matches", regex.error().message());
      }
    }
    if (e.one_of && e.one_of->empty()) {
      report(std::string(prefix) + "one_of", "is empty; no text can satisfy it");
    } else if (e.equals && e.one_of &&
               std::find(e.one_of->begin(), e.one_of->end(), *e.equals) == e.one_of->end()) {
      report(std::string(prefix) + "one_of", "leaves out the value that equals demands");
    }
    if (e.min_length && e.max_length && *e.min_length > *e.max_length) {
      report(std::string(prefix) + "min_length",
             "is above max_length (" + std::to_string(*e.min_length) + " > " +
                 std::to_string(*e.max_length) + "); no text can satisfy both");
    }
    for (const auto& [field, set] : page_fields) {
      if (set) meaningless(prefix, field, where, "");
    }
  }

  std::vector<LintFinding>& out_;
  std::string layer_;
};

// Why `path` can never be a route path the checks compare with, if it cannot.
// A pattern may also start with a star, which can match the leading "/".
std::optional<std::string> route_problem(std::string_view path, std::string_view what,
                                         bool is_pattern) {
  std::string problem(what);
  if (path.empty()) {
    problem += " is empty";
  } else if (!path.starts_with('/') && !(is_pattern && path.starts_with('*'))) {
    problem += " does not start with \"/\"";
  } else if (path.find_first_of("?#") != std::string_view::npos) {
    problem += " holds \"?\" or \"#\", which routes lose before matching";
  } else {
    return std::nullopt;
  }
  return problem + ", so it never applies";
}

bool compares_with_site(const SEOExpectation& e) {
  return e.canonical && (*e.canonical == "self" || e.canonical->starts_with('/'));
}

}  // namespace

std::vector<LintFinding> lint_contract(const SEOContract& contract) {
  std::vector<LintFinding> out;
  Linter linter(out);

  bool uses_site = compares_with_site(contract.defaults);
  for (const SEOContractRule& rule : contract.rules) uses_site |= compares_with_site(rule.expect);
  for (const auto& [path, e] : contract.exceptions) uses_site |= compares_with_site(e);
  if (uses_site) {
    linter.set_layer("site");
    constexpr std::string_view kWhy =
        ", yet canonical URLs are compared against the contract's site when no site "
        "configuration is given";
    if (contract.site.canonical_host.empty()) {
      linter.report("canonical_host", "is empty" + std::string(kWhy));
    }
    if (contract.site.scheme != "http" && contract.site.scheme != "https") {
      linter.report("scheme", "is \"" + contract.site.scheme + "\", not \"http\" or \"https\"" +
                                  std::string(kWhy));
    }
  }

  linter.layer("defaults", contract.defaults);
  for (std::size_t i = 0; i < contract.rules.size(); ++i) {
    const SEOContractRule& rule = contract.rules[i];
    linter.set_layer("rules[" + std::to_string(i) + "] " + rule.match);
    if (auto problem = route_problem(rule.match, "the pattern", true)) {
      linter.report("match", *std::move(problem));
    }
    linter.layer("rules[" + std::to_string(i) + "] " + rule.match, rule.expect);
  }
  for (const auto& [path, e] : contract.exceptions) {
    linter.set_layer("exceptions[" + path + "]");
    if (auto problem = route_problem(path, "the exception's route", false)) {
      linter.report("", *std::move(problem));
    }
    linter.layer("exceptions[" + path + "]", e);
  }
  return out;
}

}  // namespace zoret
