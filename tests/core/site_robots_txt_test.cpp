#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.hpp"
#include "zoret/site/robots_txt.hpp"

namespace zoret::site {
namespace {

using namespace std::string_literals;

UrlResolver resolver() { return UrlResolver(testing::site()); }

RobotsTxt typical() {
  RobotsTxt robots;
  robots.comments = {"Generated from the site configuration.", ""};
  robots.groups = {
      {{"Googlebot", "Bingbot"},
       {{RobotsRuleKind::Disallow, "/private/"}, {RobotsRuleKind::Allow, "/private/press/"}}},
      {{"GPTBot"}, {{RobotsRuleKind::Disallow, "/"}}},
      {{"AdsBot-Google"}, {}},
      {{"*"},
       {{RobotsRuleKind::Disallow, "/search?q=*"},
        {RobotsRuleKind::Disallow, "/*.pdf$"},
        {RobotsRuleKind::Disallow, "/caf\xC3\xA9 menu/#top\t\x7F\x01"},
        {RobotsRuleKind::Disallow, "/100%/a%2Fb"},
        {RobotsRuleKind::Allow, ""}}},
  };
  robots.sitemaps = {"/sitemap.xml", "https://old.example/news sitemap.xml"};
  return robots;
}

TEST(RenderRobotsTxt, WritesGroupsRulesAndSitemaps) {
  auto text = render_robots_txt(typical(), resolver());
  ASSERT_TRUE(text) << text.error().display();
  EXPECT_EQ(*text,
            "# Generated from the site configuration.\n"
            "#\n"
            "User-agent: Googlebot\n"
            "User-agent: Bingbot\n"
            "Disallow: /private/\n"
            "Allow: /private/press/\n"
            "\n"
            "User-agent: GPTBot\n"
            "Disallow: /\n"
            "\n"
            "User-agent: AdsBot-Google\n"
            "Allow: /\n"
            "\n"
            "User-agent: *\n"
            "Disallow: /search?q=*\n"
            "Disallow: /*.pdf$\n"
            "Disallow: /caf%C3%A9%20menu/%23top%09%7F%01\n"
            "Disallow: /100%25/a%2Fb\n"
            "Allow:\n"
            "\n"
            "Sitemap: https://example.com/sitemap.xml\n"
            "Sitemap: https://example.com/news%20sitemap.xml\n");
}

TEST(RenderRobotsTxt, ShutsCrawlersOutOfOtherHosts) {
  const std::string closed =
      "# Generated from the site configuration.\n#\n"
      "# Not the production host: crawlers are kept out.\nUser-agent: *\nDisallow: /\n";
  struct Row {
    RobotsTxtOptions options;
    bool production;
  };
  const std::vector<Row> rows = {
      {{}, true},
      {{true, "staging.example.com"}, true},
      {{false, std::nullopt}, false},
      {{std::nullopt, "example.com"}, true},
      {{std::nullopt, "EXAMPLE.com.:443"}, true},
      {{std::nullopt, "staging.example.com"}, false},
      {{std::nullopt, "example.com.evil.test"}, false},
      {{std::nullopt, ""}, false},
  };
  const std::string open = testing::value_of(render_robots_txt(typical(), resolver()));
  for (const Row& row : rows) {
    auto text = render_robots_txt(typical(), resolver(), row.options);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, row.production ? open : closed) << row.options.request_host.value_or("-");
  }
  EXPECT_TRUE(is_production_host("[::1]:8000", "[::1]"));
  EXPECT_FALSE(is_production_host("[::1]:8000", "[::2]"));
}

TEST(RenderRobotsTxt, RefusesValuesThatWouldBreakLines) {
  struct Row {
    void (*edit)(RobotsTxt&);
    std::string message;
  };
  const std::string breaks = "CR, LF and NUL are not allowed";
  const std::string comment =
      "line breaks, control characters and ill-formed UTF-8 are not allowed";
  const std::vector<Row> rows = {
      {[](RobotsTxt& r) { r.groups[0].user_agents[0] = "Googlebot\nDisallow: /"; },
       "robots.txt user-agent \"Googlebot\\nDisallow: /\": " + breaks},
      {[](RobotsTxt& r) { r.groups[0].user_agents[0] = "Googlebot/2.1"; },
       "robots.txt user-agent \"Googlebot/2.1\": a user-agent is \"*\" or a product token of "
       "letters, \"-\" and \"_\""},
      {[](RobotsTxt& r) { r.groups[0].user_agents.clear(); }, "robots.txt group has no user-agent"},
      {[](RobotsTxt& r) { r.groups[0].rules[0].path = "/a\r\nAllow: /"; },
       "robots.txt path \"/a\\r\\nAllow: /\": " + breaks},
      {[](RobotsTxt& r) { r.groups[0].rules[0].path = "/a"s + '\0'; },
       "robots.txt path \"/a\\x00\": " + breaks},
      {[](RobotsTxt& r) { r.groups[0].rules[0].path = "admin/"; },
       "robots.txt path \"admin/\": a path starts with \"/\" or \"*\""},
      {[](RobotsTxt& r) { r.comments[0] = "line\x0b" "Disallow: /"; },
       "robots.txt comment \"line\\x0bDisallow: /\": " + comment},
      {[](RobotsTxt& r) { r.comments[0] = "a\xE2\x80\xA8" "b"; },
       "robots.txt comment \"a\xE2\x80\xA8" "b\": " + comment},
      {[](RobotsTxt& r) { r.sitemaps[0] = "/sitemap.xml\nDisallow: /"; },
       "robots.txt sitemap \"/sitemap.xml\\nDisallow: /\": " + breaks},
  };
  for (const Row& row : rows) {
    RobotsTxt robots = typical();
    row.edit(robots);
    auto text = render_robots_txt(robots, resolver());
    EXPECT_ERROR(text, ErrorKind::InvalidConfiguration, row.message);
  }
}

}  // namespace
}  // namespace zoret::site
