#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.hpp"
#include "zoret/builder.hpp"
#include "zoret/site/headers.hpp"

namespace zoret::site {
namespace {

using namespace std::string_literals;

// Canonicals as the payload builder lets them through a canonical_url override:
// the URL parser drops tabs and newlines while checking, the kept text does not.
TEST(LinkCanonicalValue, EncodesOrRefusesHostileCanonicals) {
  struct Row {
    std::string canonical;
    std::string expected;  // header value, or error message
    bool ok;
  };
  const std::string e = "https://example.com/";
  const std::string rel = ">; rel=\"canonical\"";
  const auto control = [&](const char* code, const std::string& shown) {
    return "URL contains the control character U+" + std::string(code) + ": \"" + e + shown + "\"";
  };
  const std::vector<Row> rows = {
      {e + "a?b=1&c=2", "<" + e + "a?b=1&c=2" + rel, true},
      {e + "a>; rel=\"next\"", "<" + e + "a%3E;%20rel=%22next%22" + rel, true},
      {e + "<x> y", "<" + e + "%3Cx%3E%20y" + rel, true},
      {e + "\xC3\xA9t\xC3\xA9", "<" + e + "%C3%A9t%C3%A9" + rel, true},
      {e + "a\r\nSet-Cookie: s=1", control("000D", "a\\r\\nSet-Cookie: s=1"), false},
      {e + "a\n/b", control("000A", "a\\n/b"), false},
      {e + "a" + '\0', control("0000", "a\\x00"), false},
      {e + "a\tb", control("0009", "a\\tb"), false},
      {e + "\x1b[31m", control("001B", "\\x1b[31m"), false},
  };
  for (const Row& row : rows) {
    SEOOverrides overrides;
    overrides.canonical_url = row.canonical;
    auto payload = build_seo_payload(SEOEntity{}, "/", testing::site(), &overrides, nullptr);
    ASSERT_TRUE(payload) << row.canonical;
    auto headers = response_headers(*payload);
    if (row.ok) {
      ASSERT_TRUE(headers) << headers.error().display();
      ASSERT_EQ(headers->size(), 2u);
      EXPECT_EQ((*headers)[0], (std::pair<std::string, std::string>("Link", row.expected)));
    } else {
      EXPECT_ERROR(headers, ErrorKind::InvalidUrl, row.expected);
    }
  }
}

TEST(ResponseHeaders, CarryTheRobotsTextAndLeaveOutEmptySources) {
  SEOPayload payload;
  payload.robots = "noindex, follow, max-image-preview:large";
  auto only_robots = response_headers(payload);
  ASSERT_TRUE(only_robots);
  EXPECT_EQ(*only_robots, (std::vector<std::pair<std::string, std::string>>{
                              {"X-Robots-Tag", "noindex, follow, max-image-preview:large"}}));

  for (const std::string& robots : {"noindex\r\nX-Evil: 1"s, "noindex\0"s, "n\xC3\xB6index"s}) {
    payload.robots = robots;
    auto refused = response_headers(payload);
    ASSERT_FALSE(refused) << robots;
    EXPECT_EQ(refused.error().kind(), ErrorKind::Serialization);
  }
  payload.robots.clear();
  EXPECT_TRUE(testing::value_of(response_headers(payload)).empty());
}

}  // namespace
}  // namespace zoret::site
