#include <gtest/gtest.h>

#include <set>

#include "audit_support.hpp"
#include "test_support.hpp"

namespace zoret {
namespace {

TEST(AuditRuleTable, IdsAreStableAndNamesUnique) {
  std::set<std::string_view> names;
  std::size_t i = 0;
  for (const AuditRuleInfo& row : audit_rule_table()) {
    const std::string id = "ZORET2" + std::string(i < 9 ? "0" : "") + std::to_string(i + 1);
    EXPECT_EQ(row.id, id);
    EXPECT_EQ(static_cast<std::size_t>(row.rule), i);
    EXPECT_EQ(&rule_info(row.rule), &row);
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_EQ(row.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string_view::npos);
    EXPECT_TRUE(row.description.ends_with('.')) << row.id;
    EXPECT_EQ(row.description.find('|'), std::string_view::npos) << row.id;
    EXPECT_EQ(find_audit_rule(row.id), row.rule);
    EXPECT_EQ(find_audit_rule(row.name), row.rule);
    ++i;
  }
  EXPECT_EQ(i, kAuditRuleCount);
  EXPECT_EQ(find_audit_rule("ZORET101"), std::nullopt);
  EXPECT_EQ(find_audit_rule("zoret201"), std::nullopt);
  EXPECT_EQ(find_audit_rule(""), std::nullopt);
  EXPECT_EQ(scope_name(rule_info(AuditRule::DuplicateTitle).scope), "site");
  EXPECT_EQ(scope_name(rule_info(AuditRule::TitleMissing).scope), "page");
}

TEST(AuditRules, DefaultsFollowTheTable) {
  const AuditRules rules;
  for (const AuditRuleInfo& row : audit_rule_table()) {
    EXPECT_TRUE(rules.is_enabled(row.rule));
    EXPECT_EQ(rules.severity_of(row.rule), row.severity);
  }
  EXPECT_EQ(rules.title_max_length, 60U);
  EXPECT_EQ(rules.description_max_length, 160U);
  EXPECT_TRUE(validate(rules));
}

TEST(AuditRules, SiteHosts) {
  const std::pair<const char*, const char*> accepted[] = {
      {"example.com", "example.com"},
      {"Example.COM", "example.com"},
      {"example.com:8080", "example.com:8080"},
      {"example.com:80", "example.com"},
      {"b\u00fccher.example", "xn--bcher-kva.example"},
      {"[::1]:9000", "[::1]:9000"},
      {"127.0.0.1", "127.0.0.1"},
  };
  for (const auto& [text, normal] : accepted) {
    EXPECT_EQ(testing::value_of(normalize_site_host(text)), normal) << text;
  }
  for (const char* text : {"", "https://example.com", "example.com/", "user@example.com",
                           "example.com?x", "exa mple.com", "example.com:99999", "exa%mple.com"}) {
    const Result<std::string> refused = normalize_site_host(text);
    ASSERT_FALSE(refused) << text;
    EXPECT_EQ(refused.error().kind(), ErrorKind::InvalidConfiguration);
  }
}

TEST(AuditRules, Validation) {
  AuditRules rules;
  rules.title_min_length = 61;
  auto result = validate(rules);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(),
            "title_min_length (61) is greater than title_max_length (60)");
  rules = AuditRules{};
  rules.description_min_length = 200;
  EXPECT_FALSE(validate(rules));
  rules = AuditRules{};
  rules.site_host = "Example.com";
  result = validate(rules);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(),
            "site host \"Example.com\" is not in normal form (\"example.com\")");
  rules.site_host = "example.com";
  EXPECT_TRUE(validate(rules));
}

TEST(AuditOrder, RouteThenRuleThenField) {
  auto finding = [](std::string route, std::string rule, std::string field) {
    Violation v;
    v.route = std::move(route);
    v.rule_id = std::move(rule);
    v.field = std::move(field);
    return v;
  };
  std::vector<Violation> found = {
      finding("/b", "ZORET201", "title"),     finding("/a", "ZORET217", "title"),
      finding("/a", "ZORET205", "canonical"), finding("/a", "ZORET205", "a"),
      finding("/a/b", "ZORET201", "title"),
  };
  sort_audit_findings(found);
  EXPECT_EQ(testing::codes(found),
            (std::vector<std::string>{"ZORET205 a", "ZORET205 canonical", "ZORET217 title",
                                      "ZORET201 title", "ZORET201 title"}));
  EXPECT_EQ(found[3].route, "/a/b");
}

}  // namespace
}  // namespace zoret
