#include "zoret/validation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload_samples.hpp"
#include "test_support.hpp"

namespace zoret {
namespace {

using testing::repeat;

// A payload that passes every check; each case spoils one thing.
SEOPayload clean() {
  SEOPayload p = testing::minimal_payload();
  p.description = "A fine description.";
  p.canonical = "https://example.com/a";
  p.og.image = "https://example.com/i.png";
  return p;
}

// One line per finding (rule, message, details); each must warn about the canonical URL.
std::string findings(const SEOPayload& p) {
  std::string out;
  for (const SEOIssue& issue : validate_payload(p)) {
    EXPECT_EQ(issue.severity, IssueSeverity::Warning) << issue.rule_id;
    EXPECT_EQ(issue.url, p.canonical) << issue.rule_id;
    out += issue.rule_id + " " + issue.message +
           (issue.details.empty() ? "" : " " + to_json_compact(Json(issue.details))) + "\n";
  }
  return out;
}

TEST(Validate, BadMinimalPayloadGivesFourFindingsInCheckOrder) {
  EXPECT_EQ(findings(clean()), "");
  SEOPayload p = clean();
  p.title = "Untitled";
  p.description = "";
  p.canonical = "/relative";
  p.og.image.reset();
  EXPECT_EQ(findings(p),
            "ZORET101 Title is missing or default\n"
            "ZORET103 Meta description is missing\n"
            "ZORET105 Canonical URL is not absolute\n"
            "ZORET108 OG image is missing; set default_og_image or an entity image\n");
}

TEST(Validate, SingleChecks) {
  const char* title_61 = "ZORET102 Title is 61 characters (recommended max 60) {\"length\":61}\n";
  const auto not_absolute = [](const std::string& image) {
    return "ZORET106 OG image URL is not absolute {\"image\":\"" + image + "\"}\n";
  };
  const std::pair<void (*)(SEOPayload&), std::string> cases[] = {
      {[](auto& p) { p.title = ""; }, "ZORET101 Title is missing or default\n"},
      {[](auto& p) { p.title = "untitled"; }, ""}, {[](auto& p) { p.title = "Untitled 2"; }, ""},
      {[](auto& p) { p.title = repeat("a", 60); }, ""},
      {[](auto& p) { p.title = repeat("\xC3\xA9", 40); }, ""},  // 80 bytes
      {[](auto& p) { p.title = repeat("a", 61); }, title_61},
      {[](auto& p) { p.title = repeat("\xE2\x82\xAC", 61); }, title_61},
      {[](auto& p) { p.description = repeat("d", 160); }, ""},
      {[](auto& p) { p.description = repeat("d", 161); },
       "ZORET104 Meta description is 161 characters (recommended max 160) {\"length\":161}\n"},
      {[](auto& p) { p.canonical = "http://e.com/"; }, ""},
      {[](auto& p) { p.og.image = ""; }, not_absolute("")},
      {[](auto& p) { p.canonical = "HTTPS://e.com/"; }, "ZORET105 Canonical URL is not absolute\n"},
      {[](auto& p) { p.og.image = "//cdn/i.png"; }, not_absolute("//cdn/i.png")},
      {[](auto& p) { p.og.image = "HTTPS://e.com/i.png"; }, not_absolute("HTTPS://e.com/i.png")},
  };
  for (const auto& [spoil, expected] : cases) {
    SEOPayload p = clean();
    spoil(p);
    EXPECT_EQ(findings(p), expected) << p.title.substr(0, 8) << " " << p.og.image.value_or("-");
  }
}

TEST(Validate, RobotsDirectives) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"index,follow", {}}, {"index, nofollow, max-snippet:-1", {}},
      {" noindex ,\tnofollow\xC2\xA0", {}},  // NBSP is White_Space too
      {"none,noarchive,nosnippet,notranslate,unavailable_after: 2030-01-01", {}},
      {"max-image-preview:large,max-video-preview:-1,max-snippetx:1", {}},
      {"index,Follow", {"Follow"}}, {"index,,follow", {""}}, {"", {""}}, {"index, ", {""}},
      {"noimageindex, max-preview:3 ,NOINDEX", {"noimageindex", "max-preview:3", "NOINDEX"}},
      {"index:yes,nofollowx", {"nofollowx"}},
  };
  for (const auto& [robots, rejected] : cases) {
    SEOPayload p = clean();
    p.robots = robots;
    std::string expected;
    for (const std::string& d : rejected)
      expected += "ZORET107 Invalid robots directive: '" + d + "' {\"directive\":\"" + d + "\"}\n";
    EXPECT_EQ(findings(p), expected) << robots;
  }
}

}  // namespace
}  // namespace zoret
