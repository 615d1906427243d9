#include "zoret/check/lint.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check_support.hpp"

namespace zoret {
namespace {

using testing::contract_of;

struct LintRow {
  std::string defaults;
  std::string rules;
  std::string exceptions;
  std::vector<std::string> findings;  // "layer | field | message"
};

std::vector<std::string> findings_of(const SEOContract& contract) {
  std::vector<std::string> out;
  for (const LintFinding& f : lint_contract(contract)) {
    out.push_back(f.layer + " | " + f.field + " | " + f.message);
  }
  return out;
}

TEST(LintContract, ReportsWhatCannotWorkWithItsLocation) {
  const std::vector<LintRow> rows = {
      {R"({"required":true,"canonical":"self","title":{"required":true,"max_length":60}})",
       R"([{"match":"/blog/*","expect":{}},{"match":"**","expect":{}},{"match":"*/x","expect":{}}])",
       R"({"/about":{}})",
       {}},
      {R"({"matches":"^x","max_length":5})", "[]", "{}",
       {"defaults | matches | has no meaning at page level and is never checked; put it under "
        "title or description",
        "defaults | max_length | has no meaning at page level and is never checked; put it "
        "under title or description"}},
      {R"({"title":{"indexable":true,"min_items":1,"title":{}},"description":{"schema":{}}})",
       "[]", "{}",
       {"defaults | title.min_items | has no meaning inside title and is never checked",
        "defaults | title.indexable | has no meaning inside title and is never checked",
        "defaults | title.title | has no meaning inside title and is never checked",
        "defaults | description.schema | has no meaning inside description and is never "
        "checked"}},
      {R"({"required":true,"forbidden":true,"min_items":3,"max_items":2})", "[]", "{}",
       {"defaults | forbidden | contradicts required: true in the same layer; no page can "
        "satisfy both",
        "defaults | min_items | is above max_items (3 > 2); no page can satisfy both"}},
      {"{}",
       R"([{"match":"/a","expect":{"title":{"required":true,"forbidden":true,)"
       R"("min_length":9,"max_length":2,"equals":"x","not_equals":"x","one_of":["y"]}}}])",
       "{}",
       {"rules[0] /a | title.forbidden | contradicts required: true in the same layer; no page "
        "can satisfy both",
        "rules[0] /a | title.not_equals | rules out the value that equals demands",
        "rules[0] /a | title.one_of | leaves out the value that equals demands",
        "rules[0] /a | title.min_length | is above max_length (9 > 2); no text can satisfy both"}},
      {R"({"description":{"one_of":[],"matches":"(x"},"canonical":"Self"})", "[]", "{}",
       {"defaults | canonical | \"Self\" is not \"self\", \"absent\", an absolute http(s) URL "
        "or a path starting with \"/\"",
        "defaults | description.matches | invalid regular expression: missing ): (x",
        "defaults | description.one_of | is empty; no text can satisfy it"}},
      {"{}",
       R"([{"match":"blog/*","expect":{}},{"match":"/a?b=1","expect":{}},)"
       R"({"match":"","expect":{"indexable":true}},{"match":"/x#top","expect":{}}])",
       R"({"about":{},"/a?b":{"contains":"x"}})",
       {"rules[0] blog/* | match | the pattern does not start with \"/\", so it never applies",
        "rules[1] /a?b=1 | match | the pattern holds \"?\" or \"#\", which routes lose before "  // NOLINT(bugprone-suspicious-missing-comma)
        "matching, so it never applies",
        "rules[2]  | match | the pattern is empty, so it never applies",
        "rules[3] /x#top | match | the pattern holds \"?\" or \"#\", which routes lose before "
        "matching, so it never applies",
        "exceptions[/a?b] |  | the exception's route holds \"?\" or \"#\", which routes lose "
        "before matching, so it never applies",
        "exceptions[/a?b] | contains | has no meaning at page level and is never checked; put "
        "it under title or description",
        "exceptions[about] |  | the exception's route does not start with \"/\", so it never "
        "applies"}},
  };
  for (const LintRow& row : rows) {
    EXPECT_EQ(findings_of(contract_of(row.defaults, row.rules, row.exceptions)), row.findings)
        << row.defaults << row.rules << row.exceptions;
  }
}

TEST(LintContract, SiteMattersOnlyWhenCanonicalsAreComparedWithIt) {
  SEOContract contract = contract_of("{}");
  contract.site = {.canonical_host = "", .scheme = "ftp"};
  EXPECT_TRUE(lint_contract(contract).empty());
  contract.exceptions["/home"].canonical = "/";
  EXPECT_EQ(findings_of(contract),
            (std::vector<std::string>{
                "site | canonical_host | is empty, yet canonical URLs are compared against the "
                "contract's site when no site configuration is given",
                "site | scheme | is \"ftp\", not \"http\" or \"https\", yet canonical URLs are "
                "compared against the contract's site when no site configuration is given"}));
}

}  // namespace
}  // namespace zoret
