#include "zoret/validation.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace zoret {

void PrintTo(const SEOIssue& issue, std::ostream* os) {
  *os << issue.rule_id << " '" << issue.message << "' " << to_json_compact(Json(issue.details));
}

namespace {

// A payload that passes every check; each test spoils one thing.
SEOPayload clean() {
  SEOPayload p;
  p.title = "A fine title";
  p.description = "A fine description.";
  p.canonical = "https://example.com/a";
  p.robots = "index,follow";
  p.og.type = "article";
  p.og.image = "https://example.com/i.png";
  p.twitter.card = "summary";
  return p;
}

std::vector<std::string> rule_ids(const std::vector<SEOIssue>& issues) {
  std::vector<std::string> ids;
  for (const auto& issue : issues) ids.push_back(issue.rule_id);
  return ids;
}

std::string repeat(std::string_view unit, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += unit;
  return out;
}

TEST(Validate, CleanPayloadHasNoFindings) { EXPECT_TRUE(validate(clean()).empty()); }

TEST(Validate, BadMinimalPayloadGivesFourFindingsInCheckOrder) {
  SEOPayload p = clean();
  p.title = "Untitled";
  p.description = "";
  p.canonical = "/relative";
  p.og.image.reset();
  const auto issues = validate_payload(p);
  EXPECT_EQ(rule_ids(issues),
            (std::vector<std::string>{"ZORET101", "ZORET103", "ZORET105", "ZORET108"}));
  const std::vector<std::string> messages = {
      "Title is missing or default", "Meta description is missing",
      "Canonical URL is not absolute",
      "OG image is missing; set default_og_image or an entity image"};
  for (std::size_t i = 0; i < issues.size(); ++i) {
    EXPECT_EQ(issues[i].message, messages[i]);
    EXPECT_EQ(issues[i].severity, IssueSeverity::Warning);
    EXPECT_EQ(issues[i].url, "/relative");
    EXPECT_TRUE(issues[i].details.empty());
  }
}

TEST(Validate, SingleChecks) {
  const struct {
    const char* name;
    void (*spoil)(SEOPayload&);
    std::vector<SEOIssue> expected;  // url is filled in from the payload
  } cases[] = {
      {"empty title", [](SEOPayload& p) { p.title = ""; },
       {{"ZORET101", IssueSeverity::Warning, "Title is missing or default", {}, {}}}},
      {"untitled lower case", [](SEOPayload& p) { p.title = "untitled"; }, {}},
      {"untitled in a longer title", [](SEOPayload& p) { p.title = "Untitled | Site"; }, {}},
      {"title of 60", [](SEOPayload& p) { p.title = repeat("a", 60); }, {}},
      {"title of 40 two-byte characters", [](SEOPayload& p) { p.title = repeat("\xC3\xA9", 40); },
       {}},
      {"title of 61", [](SEOPayload& p) { p.title = repeat("a", 61); },
       {{"ZORET102", IssueSeverity::Warning, "Title is 61 characters (recommended max 60)", {},
         {{"length", json_uint(61)}}}}},
      {"title of 61 non-ASCII", [](SEOPayload& p) { p.title = repeat("\xE2\x82\xAC", 61); },
       {{"ZORET102", IssueSeverity::Warning, "Title is 61 characters (recommended max 60)", {},
         {{"length", json_uint(61)}}}}},
      {"description of 160", [](SEOPayload& p) { p.description = repeat("d", 160); }, {}},
      {"description of 161", [](SEOPayload& p) { p.description = repeat("d", 161); },
       {{"ZORET104", IssueSeverity::Warning,
         "Meta description is 161 characters (recommended max 160)", {},
         {{"length", json_uint(161)}}}}},
      {"http canonical", [](SEOPayload& p) { p.canonical = "http://e.com/"; }, {}},
      {"canonical upper-case scheme", [](SEOPayload& p) { p.canonical = "HTTPS://e.com/"; },
       {{"ZORET105", IssueSeverity::Warning, "Canonical URL is not absolute", {}, {}}}},
      {"protocol-relative image", [](SEOPayload& p) { p.og.image = "//cdn/i.png"; },
       {{"ZORET106", IssueSeverity::Warning, "OG image URL is not absolute", {},
         {{"image", Json("//cdn/i.png")}}}}},
      {"upper-case image scheme", [](SEOPayload& p) { p.og.image = "HTTPS://e.com/i.png"; },
       {{"ZORET106", IssueSeverity::Warning, "OG image URL is not absolute", {},
         {{"image", Json("HTTPS://e.com/i.png")}}}}},
      {"empty image", [](SEOPayload& p) { p.og.image = ""; },
       {{"ZORET106", IssueSeverity::Warning, "OG image URL is not absolute", {},
         {{"image", Json("")}}}}},
  };
  for (const auto& c : cases) {
    SEOPayload p = clean();
    c.spoil(p);
    std::vector<SEOIssue> expected = c.expected;
    for (auto& issue : expected) issue.url = p.canonical;
    EXPECT_EQ(validate(p), expected) << c.name;
  }
}

TEST(Validate, RobotsDirectives) {
  const struct {
    const char* robots;
    std::vector<std::string> rejected;
  } cases[] = {
      {"index,follow", {}},
      {"index, nofollow, max-snippet:-1", {}},
      {" noindex ,\tnofollow\xC2\xA0", {}},  // NBSP is White_Space too
      {"none,noarchive,nosnippet,notranslate,unavailable_after: 2030-01-01", {}},
      {"max-image-preview:large,max-video-preview:-1,max-snippetx:1", {}},
      {"index,Follow", {"Follow"}},
      {"index,,follow", {""}},
      {"", {""}},
      {"index, ", {""}},
      {"noimageindex, max-preview:3 ,NOINDEX", {"noimageindex", "max-preview:3", "NOINDEX"}},
      {"index:yes,nofollowx", {"nofollowx"}},
  };
  for (const auto& c : cases) {
    SEOPayload p = clean();
    p.robots = c.robots;
    const auto issues = validate(p);
    ASSERT_EQ(issues.size(), c.rejected.size()) << c.robots;
    for (std::size_t i = 0; i < issues.size(); ++i) {
      EXPECT_EQ(issues[i].rule_id, "ZORET107");
      EXPECT_EQ(issues[i].message, "Invalid robots directive: '" + c.rejected[i] + "'");
      ASSERT_EQ(issues[i].details.size(), 1u);
      EXPECT_EQ(issues[i].details.at("directive"), c.rejected[i]);
    }
  }
}

}  // namespace
}  // namespace zoret
