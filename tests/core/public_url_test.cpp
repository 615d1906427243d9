#include "zoret/url/public_url.hpp"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "test_support.hpp"
#include "zoret/unicode.hpp"

namespace zoret {
namespace {

struct Row {
  const char* input;
  const char* base;
  void (*adjust)(URLPolicy&);
  const char* expected;
};

void none(URLPolicy&) {}

TEST(NormalizePublicUrl, ResolvesRoutesAndUrls) {
  const std::vector<Row> rows = {
      {"/blog/Post/", "https://b.example", none, "https://h.example/blog/Post"},
      {"blog", "https://b.example", none, "https://h.example/blog"},
      {"http://o.example/a/../b?x=1#top", "https://b.example", none, "https://h.example/b?x=1"},
      {"/a?utm_source=n&id=7#top", "https://b.example", none, "https://h.example/a?id=7"},
      {"/a?utm_source=n", "https://b.example", [](URLPolicy& p) { p.strip_tracking_params = false; },
       "https://h.example/a?utm_source=n"},
      {"/a?UTM_Medium=x&page=2", "https://b.example", none, "https://h.example/a?page=2"},
      {"/a?page=2&ref=x&utm_source=n", "https://b.example",
       [](URLPolicy& p) { p.allowed_query_params = {"page", "utm_source"}; },
       "https://h.example/a?page=2&utm_source=n"},
      {"/a?Page=2", "https://b.example", [](URLPolicy& p) { p.allowed_query_params = {"page"}; },
       "https://h.example/a"},
      {"/a?&&x=1&=y", "https://b.example", none, "https://h.example/a?x=1"},
      {"/a?fbclid=1&mine=2", "https://b.example",
       [](URLPolicy& p) { p.extra_tracking_params = {"MINE"}; }, "https://h.example/a"},
      {"/blog", "https://b.example/app/", none, "https://h.example/app/blog"},
      {"/app/blog", "https://b.example/app", none, "https://h.example/app/blog"},
      {"/app", "https://b.example/app", none, "https://h.example/app"},
      {"/apple", "https://b.example/app", none, "https://h.example/app/apple"},
      {"blog", "https://b.example/app", none, "https://h.example/app/blog"},
      {"?q=1", "https://b.example/app", none, "https://h.example/app?q=1"},
      {"/a", "http://b.example:8080", [](URLPolicy& p) { p.enforce_https = false; },
       "http://h.example/a"},
      {"/a b", "https://b.example", none, "https://h.example/a b"},
      {"//o.example/x", "https://b.example", none, "https://h.example/o.example/x"},
      {"a:b", "https://b.example", none, "https://h.example/b"},
      {"/a?x=%20+y&utm_source=1", "https://b.example", none, "https://h.example/a?x=%20+y"},
      {" \t/a\n", "https://b.example", none, "https://h.example/a"},
  };
  for (const Row& row : rows) {
    SEOConfig config;
    config.canonical_host = "h.example";
    config.public_base_url = row.base;
    row.adjust(config.url_policy);
    auto result = normalize_public_url(row.input, config);
    ASSERT_TRUE(result) << row.input << ": " << result.error().display();
    EXPECT_EQ(*result, row.expected) << row.input;
  }
}

TEST(NormalizePublicUrl, ReportsBlankInputBeforeTheBase) {
  SEOConfig config;
  config.canonical_host = "h.example";
  config.public_base_url = "not a url";
  EXPECT_ERROR(normalize_public_url(" \u3000 ", config), ErrorKind::InvalidUrl,
               "url_or_path must be a non-empty string");
  EXPECT_ERROR(normalize_public_url("/fine", config), ErrorKind::InvalidConfiguration,
               "invalid public_base_url: relative URL without a base");
  config.public_base_url = "http://b.example:99999";
  EXPECT_EQ(normalize_public_url("/a", config).error().message(),
            "invalid public_base_url: invalid port number");
}

TEST(PublicUrlResolver, ResolvesManyInputsAgainstOneParse) {
  SEOConfig config;
  config.canonical_host = "h.example";
  config.public_base_url = "https://b.example/app/";
  config.url_policy.extra_tracking_params = {"Ref"};
  const PublicUrlResolver resolver(config);
  EXPECT_FALSE(resolver.base_error());
  for (const char* input : {"/a?ref=1&x=2", "b/", "https://o.example/app/c?REF=3", " "}) {
    const auto once = normalize_public_url(input, config);
    const auto reused = resolver.resolve(input);
    ASSERT_EQ(once.has_value(), reused.has_value()) << input;
    if (once) {
      EXPECT_EQ(*once, *reused) << input;
    }
  }
  config.public_base_url = "/relative";
  const PublicUrlResolver broken(config);
  ASSERT_TRUE(broken.base_error());
  EXPECT_EQ(broken.resolve("").error().kind(), ErrorKind::InvalidUrl);
  EXPECT_EQ(broken.resolve("/a").error(), *broken.base_error());
}

TEST(PublicUrlResolver, VetsAbsoluteUrlsAsWritten) {
  const std::pair<const char*, const char*> rows[] = {
      {" HTTPS://o.example/A?utm_source=x \n", ""},
      {"http://o.example", ""},
      {"/relative", "c must be an absolute URL: relative URL without a base"},
      {"", "c must be an absolute URL: relative URL without a base"},
      {"http://[::1", "c must be an absolute URL: invalid IPv6 address"},
      {"ftp://o.example/", "c must use http or https"},
      {"mailto:a@o.example", "c must use http or https"},
  };
  for (const auto& [url, error] : rows) {
    const auto vetted = PublicUrlResolver::vet_absolute_url(url, "c");
    if (*error == '\0') {
      ASSERT_TRUE(vetted) << url;
      EXPECT_EQ(*vetted, trim_white_space(url));
    } else {
      EXPECT_ERROR(vetted, ErrorKind::InvalidUrl, error);
    }
  }
}

TEST(HttpPrefix, IsCaseSensitiveAndNeedsBothSlashes) {
  const std::pair<const char*, bool> rows[] = {
      {"http://a", true}, {"https://", true}, {"HTTP://a", false}, {"//a", false},
      {"http:/a", false}, {"httpx://a", false}, {"ftp://a", false}, {"", false},
  };
  for (const auto& [url, expected] : rows) EXPECT_EQ(has_http_prefix(url), expected) << url;
}

TEST(FilterQuery, KeepsPairsWholeAndInOrder) {
  URLPolicy policy;
  EXPECT_EQ(filter_query("b=2&a=1&gclid=x&a=3", policy), "b=2&a=1&a=3");
  EXPECT_EQ(filter_query("utm%5Fsource=1&x", policy), "x");
  policy.allowed_query_params = {"a", "a"};
  EXPECT_EQ(filter_query("b=2&a=1&gclid=x&a=3", policy), "a=1&a=3");
  policy.allowed_query_params.clear();
  policy.strip_tracking_params = false;
  EXPECT_EQ(filter_query("=1&gclid=x&&", policy), "gclid=x");
  policy.strip_tracking_params = true;
  policy.extra_tracking_params = {"Sess\xC3\x84", "ref", "REF"};
  EXPECT_EQ(filter_query("ReF=1&sess%C3%84=2&sessä=3&Ref2=4&+ref=5", policy), "sessä=3&Ref2=4&+ref=5");
}

}  // namespace
}  // namespace zoret
