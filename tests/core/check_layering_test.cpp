#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check_support.hpp"
#include "zoret/check/check.hpp"
#include "zoret/check/compiled_contract.hpp"

namespace zoret {
namespace {

using testing::compiled;
using testing::contract_of;

constexpr const char* kDefaults =
    R"({"required":true,"indexable":true,"canonical":"self","schema":{"required":false},)"
    R"("title":{"required":true,"max_length":70}})";
constexpr const char* kRules =
    R"([{"match":"/blog/*","severity":"Warning","expect":{"title":{"max_length":60},)"
    R"("schema":{"required":true,"types":["Article"]}}},)"
    R"({"match":"/blog/**","expect":{"description":{"required":true}}},)"
    R"({"match":"/blog/drafts/*","severity":"Info","expect":{"indexable":false,)"
    R"("title":{"required":false}}},)"
    R"({"match":"/blog/*","expect":{"title":{"min_length":5}}}])";
constexpr const char* kExceptions =
    R"({"/blog/hello":{"title":{"max_length":80},"schema":{"types":[]}},)"
    R"("/blog/drafts/x":{"indexable":true}})";

// "field=value @source (Severity)", one per constraint in force.
std::vector<std::string> constraints_of(const Explanation& e) {
  std::vector<std::string> out;
  for (const ExplainedConstraint& c : e.constraints) {
    out.push_back(c.field + "=" + to_json_compact(c.value) + " @" + c.source + " (" +
                  std::string(contract_severity_name(c.severity)) + ")");
  }
  return out;
}

std::vector<std::string> layers_of(const Explanation& e) {
  std::vector<std::string> out;
  for (const ExplainedLayer& l : e.layers) {
    out.push_back(l.name + " (" + std::string(contract_severity_name(l.severity)) + ")");
  }
  return out;
}

struct LayeringRow {
  const char* route;
  std::vector<std::string> layers;
  std::vector<std::string> constraints;
};

TEST(Explain, LayersDefaultsRulesInOrderThenTheExceptionFieldByField) {
  const CompiledContract contract = compiled(kDefaults, kRules, kExceptions);
  // Layers and constraints that several routes share.
  const std::string defaults = "defaults (Error)", blog = "rules[0] /blog/* (Warning)",
                    blog_all = "rules[1] /blog/** (Error)", blog_last = "rules[3] /blog/* (Error)";
  const std::string required = "required=true @defaults (Error)",
                    indexable = "indexable=true @defaults (Error)",
                    self = "canonical=\"self\" @defaults (Error)",
                    no_schema = "schema.required=false @defaults (Error)",
                    titled = "title.required=true @defaults (Error)",
                    max_70 = "title.max_length=70 @defaults (Error)",
                    blog_schema = "schema.required=true @rules[0] /blog/* (Warning)",
                    min_5 = "title.min_length=5 @rules[3] /blog/* (Error)",
                    described = "description.required=true @rules[1] /blog/** (Error)";
  const std::vector<LayeringRow> rows = {
      {"/", {defaults}, {required, indexable, self, no_schema, titled, max_70}},
      // Query and fragment play no part; both "/blog/*" rules and "/blog/**" apply.
      {"/blog/post?page=2#top",
       {defaults, blog, blog_all, blog_last},
       {required, indexable, self, blog_schema,
        "schema.types=[\"Article\"] @rules[0] /blog/* (Warning)", titled, min_5,
        "title.max_length=60 @rules[0] /blog/* (Warning)", described}},
      // The exception replaces single fields: schema.types but not schema.required.
      {"/blog/hello",
       {defaults, blog, blog_all, blog_last, "exceptions[/blog/hello] (Error)"},
       {required, indexable, self, blog_schema, "schema.types=[] @exceptions[/blog/hello] (Error)",
        titled, min_5, "title.max_length=80 @exceptions[/blog/hello] (Error)", described}},
      // "/blog/*" does not reach into "/blog/drafts/"; a later layer's
      // required: false lifts the default.
      {"/blog/drafts/x",
       {defaults, blog_all, "rules[2] /blog/drafts/* (Info)", "exceptions[/blog/drafts/x] (Error)"},
       {required, "indexable=true @exceptions[/blog/drafts/x] (Error)", self, no_schema,
        "title.required=false @rules[2] /blog/drafts/* (Info)", max_70, described}},
      // Exceptions match the path exactly.
      {"/blog/hello/", {defaults, blog_all},
       {required, indexable, self, no_schema, titled, max_70, described}},
  };
  for (const LayeringRow& row : rows) {
    const Explanation e = explain(contract, row.route);
    EXPECT_EQ(layers_of(e), row.layers) << row.route;
    EXPECT_EQ(constraints_of(e), row.constraints) << row.route;
  }
  EXPECT_EQ(explain(contract, "/a?b").route, "/a");
}

// The same layering decides the checks: a violation carries its layer's name
// and severity, and a lifted constraint is not checked at all.
TEST(Check, ViolationsCarryTheSourceAndSeverityOfTheirLayer) {
  const CompiledContract contract = compiled(kDefaults, kRules, kExceptions);
  PageFacts page = testing::good_page();
  page.route = "/blog/drafts/y";
  page.title = "";
  page.description.reset();
  page.robots = {"noindex"};
  const CheckResult result = testing::value_of(check(contract, page));
  std::vector<std::string> seen;
  for (const Violation& v : result.violations) {
    seen.push_back(v.field + " @" + v.source + " (" +
                   std::string(contract_severity_name(v.severity)) + ")");
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "canonical @defaults (Error)",
                      "description.required @rules[1] /blog/** (Error)",
                  }));
  EXPECT_EQ(result.not_checked.size(), 1U);  // required: the status is not known
}

struct CompileErrorRow {
  std::string defaults;
  std::string rules;
  std::string message;
};

TEST(CompileContract, RefusesValuesItCannotCheckNamingTheLayer) {
  const std::vector<CompileErrorRow> rows = {
      {R"({"canonical":"Self"})", "[]",
       "defaults: canonical: \"Self\" is not \"self\", \"absent\", an absolute http(s) URL or "
       "a path starting with \"/\""},
      {"{}", R"([{"match":"/a","expect":{}},{"match":"/b/*","expect":{"canonical":"//cdn/x"}}])",
       "rules[1] /b/*: canonical: \"//cdn/x\" is not \"self\", \"absent\", an absolute http(s) "
       "URL or a path starting with \"/\""},
      {R"({"canonical":""})", "[]",
       "defaults: canonical: \"\" is not \"self\", \"absent\", an absolute http(s) URL or a "
       "path starting with \"/\""},
      {"{}",
       R"([{"match":"/a","expect":{}},{"match":"/b","expect":{}},)"
       R"({"match":"/blog/*","expect":{"title":{"matches":"(a"}}}])",
       "rules[2] /blog/*: title.matches: invalid regular expression: missing ): (a"},
      {R"j({"description":{"matches":"(?<name>x)"}})j", "[]",
       "defaults: description.matches: invalid regular expression: invalid perl operator: (?<"},
      {R"({"title":{"matches":"\\"}})", "[]",
       "defaults: title.matches: invalid regular expression: trailing \\"},
      {R"({"title":{"matches":"a{1001}"}})", "[]",
       "defaults: title.matches: invalid regular expression: invalid repetition size: {1001}"},
      // Within limits on its own, but not once compiled.
      {R"({"title":{"matches":"\\pL{1000}"}})", "[]",
       "defaults: title.matches: regular expression too large (more than 1 MiB compiled): "
       "\\pL{1000}"},
  };
  for (const CompileErrorRow& row : rows) {
    EXPECT_ERROR(compile_contract(contract_of(row.defaults, row.rules)), ErrorKind::Contract,
                 row.message);
  }
  for (const char* fine : {R"({"canonical":"self"})", R"({"canonical":"absent"})",
                           R"({"canonical":"http://x"})", R"({"canonical":"/x"})",
                           R"({"title":{"matches":""}})", R"({"title":{"matches":"(?i)é+$"}})"}) {
    EXPECT_TRUE(compile_contract(contract_of(fine))) << fine;
  }
}

}  // namespace
}  // namespace zoret
