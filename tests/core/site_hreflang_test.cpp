#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.hpp"
#include "zoret/builder.hpp"
#include "zoret/render.hpp"
#include "zoret/site/hreflang.hpp"

namespace zoret::site {
namespace {

using testing::site;

UrlResolver resolver() { return UrlResolver(site()); }

HreflangOptions rendering(std::string route) {
  HreflangOptions options;
  options.current_route = std::move(route);
  return options;
}

TEST(RenderHreflang, WritesOneLinkPerLanguageInTheGivenOrder) {
  const std::vector<LanguageAlternate> alternates = {{"en-us", "/en/"},
                                                     {"de", "/de?utm_source=x&a=1&b=2"},
                                                     {"X-DEFAULT", "https://elsewhere.example/"}};
  auto html = render_hreflang(alternates, resolver(), rendering("/en"));
  ASSERT_TRUE(html) << html.error().display();
  EXPECT_EQ(*html,
            "<link rel=\"alternate\" hreflang=\"en-US\" href=\"https://example.com/en\">\n"
            "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.com/de?a=1&amp;b=2\">\n"
            "<link rel=\"alternate\" hreflang=\"x-default\" href=\"https://example.com/\">");
}

// The self link must be the very URL the head's canonical link holds.
TEST(RenderHreflang, SelfLinkEqualsTheCanonicalOfTheHead) {
  SEOEntity entity;
  entity.title = "Page";
  const std::string route = "/Fr/Page/?utm_medium=mail&q=\"x\"";
  auto payload = build_seo_payload(entity, route, site(), nullptr, nullptr);
  ASSERT_TRUE(payload);
  auto html =
      render_hreflang(std::vector<LanguageAlternate>{{"fr", route}}, resolver(), rendering(route));
  ASSERT_TRUE(html) << html.error().display();
  EXPECT_EQ(*html, "<link rel=\"alternate\" hreflang=\"fr\" href=\"" +
                       escape_html(payload->canonical) + "\">");
}

TEST(RenderHreflang, RefusesBrokenSets) {
  struct Row {
    std::vector<LanguageAlternate> alternates;
    HreflangOptions options;
    ErrorKind kind;
    std::string message;
  };
  const std::string twice = "appears twice in the alternates";
  const std::vector<Row> rows = {
      {{{"en", "/en"}, {"de", "/de"}}, rendering("/fr"), ErrorKind::InvalidEntity,
       "the alternates do not include the page itself (\"https://example.com/fr\"); add it, or "
       "turn the check off"},
      {{{"en", "/en"}}, {}, ErrorKind::InvalidEntity,
       "current_route is needed to check the self-reference"},
      {{{"en-US", "/en"}, {"en-us", "/us"}}, rendering("/en"), ErrorKind::InvalidEntity,
       "language \"en-US\" " + twice},
      {{{"x-default", "/"}, {"X-Default", "/en"}}, rendering("/"), ErrorKind::InvalidEntity,
       "language \"x-default\" " + twice},
      {{{"en", "  "}}, rendering("/en"), ErrorKind::InvalidUrl,
       "url_or_path must be a non-empty string"},
      {{{"en", "/\xFF"}}, rendering("/en"), ErrorKind::InvalidUrl,
       "url_or_path must be valid UTF-8"},
  };
  for (const Row& row : rows) {
    auto html = render_hreflang(row.alternates, resolver(), row.options);
    EXPECT_ERROR(html, row.kind, row.message);
  }
}

TEST(RenderHreflang, OptingOutOrHavingNoAlternatesSkipsTheSelfCheck) {
  HreflangOptions off;
  off.require_self_reference = false;
  auto html = render_hreflang(std::vector<LanguageAlternate>{{"de", "/de"}}, resolver(), off);
  ASSERT_TRUE(html);
  EXPECT_EQ(*html, "<link rel=\"alternate\" hreflang=\"de\" href=\"https://example.com/de\">");
  auto none = render_hreflang({}, resolver(), rendering("/"));
  ASSERT_TRUE(none);
  EXPECT_EQ(*none, "");
}

TEST(UrlResolver, FileUrlsNeverGainTheTrailingSlash) {
  SEOConfig config = site();
  config.public_base_url = "https://example.com/app/";
  config.url_policy.trailing_slash = TrailingSlash::Always;
  const UrlResolver urls(config);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"/sitemap.xml", "https://example.com/app/sitemap.xml"},
      {"/static/", "https://example.com/app/static/"},
      {"/", "https://example.com/app/"},
      {"/feed.xml?v=2", "https://example.com/app/feed.xml?v=2"},
      {"https://other.example/s.xml", "https://example.com/app/s.xml"},
  };
  for (const auto& [path, expected] : rows) {
    EXPECT_EQ(testing::value_of(urls.resolve_file(path)), expected) << path;
  }
  EXPECT_EQ(testing::value_of(urls.resolve("/page")), "https://example.com/app/page/");
}

}  // namespace
}  // namespace zoret::site
