#include "zoret/config.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "test_support.hpp"

namespace zoret {
namespace {

using testing::compact_json;

TEST(ValidateConfig, FirstFailingCheckWins) {
  const std::string host_empty = "canonical_host must be a non-empty string";
  const std::string host_only = "canonical_host must be host-only (no scheme/path/query)";
  const std::string base_empty = "public_base_url must be a non-empty string";
  const std::string no_title = "title_template must include '{title}' placeholder";
  const char *h = "example.com", *base = "https://example.com";
  const std::tuple<const char*, const char*, std::optional<std::string>, std::string> rows[] = {
      // host, base, title template, message ("": accepted)
      {"", "", {}, host_empty}, {"", base, "no placeholder", host_empty},
      {base, base, {}, host_only}, {"example.com/blog", base, {}, host_only},
      {"example.com?x=1", base, {}, host_only}, {"example.com#top", base, {}, host_only},
      {"example.com/", "", "bad", host_only}, {h, "", {}, base_empty}, {h, "", "bad", base_empty},
      {"example.com:8080", base, {}, ""}, {"Example.COM", base, {}, ""}, {" ", "not a url", {}, ""},
      {h, base, "{title}", ""}, {h, base, "Read {title} | Site", ""}, {h, base, "", no_title},
      {h, base, "{Title} | Site", no_title}, {h, base, "{ title }", no_title},
  };
  for (const auto& [host, base_url, title_template, message] : rows) {
    SEOConfig config;
    config.canonical_host = host;
    config.public_base_url = base_url;
    config.title_template = title_template;
    const auto result = validate(config);  // an accepted one compares as an empty message
    EXPECT_EQ(result ? ZoretError(ErrorKind::InvalidConfiguration, "") : result.error(),
              ZoretError(ErrorKind::InvalidConfiguration, message))
        << "host '" << host << "' base '" << base_url << "'";
  }
  EXPECT_TRUE(validate(SEOConfig::make_default()));
}

TEST(SEOConfigJson, NullTemplateAbsentFieldsLeftOutOthersInDeclarationOrder) {
  SEOConfig config = testing::site();
  const auto head = [](const std::string& trailing_slash) {
    return R"({"canonical_host":"example.com","public_base_url":"https://example.com",)"
           R"("url_policy":{"enforce_https":true,"lowercase_paths":false,"trailing_slash":")" +
           trailing_slash +
           R"(","collapse_duplicate_slashes":true,"strip_tracking_params":true,)"
           R"("allowed_query_params":[],"extra_tracking_params":[]},)"
           R"("default_robots":{"index":true,"follow":true},)";
  };
  EXPECT_EQ(compact_json(config),
            head("Never") + R"("title_template":null,"search_robots":{"index":false,)"
                R"("follow":true},"schema_type_map":{"faq":"FAQPage","home":"WebSite",)"
                R"("local_business":"LocalBusiness","organization":"Organization","page":)"
                R"("WebPage","post":"Article","product":"Product","search":"SearchResultsPage",)"
                R"("taxonomy":"CollectionPage","video":"VideoObject"},"auto_generate_schema":true,)"
                R"("emit_warnings":false})");

  config.url_policy.trailing_slash = TrailingSlash::Always;
  config.default_og_image = SEOImage{"og.png", 1200, 630, std::nullopt};
  config.site_name = "Site";
  config.title_template = "{title}";
  config.schema_type_map = {{"post", "BlogPosting"}, {"custom", std::nullopt}};
  config.publisher_name = "Pub";
  config.publisher_logo = "logo.png";
  config.locale = "en_US";
  config.locale_alternate = std::vector<std::string>{};
  config.twitter_site = "@site";
  config.emit_warnings = true;
  config.search_url_template = "/search?q={search_term_string}";
  EXPECT_EQ(compact_json(config),
            head("Always") + R"("default_og_image":{"url":"og.png","width":1200,"height":630},)"
                R"("site_name":"Site","title_template":"{title}","search_robots":{"index":false,)"
                R"("follow":true},"schema_type_map":{"custom":null,"post":"BlogPosting"},)"
                R"("auto_generate_schema":true,"publisher_name":"Pub","publisher_logo":"logo.png",)"
                R"("locale":"en_US","locale_alternate":[],"twitter_site":"@site",)"
                R"("emit_warnings":true,"search_url_template":"/search?q={search_term_string}"})");
}

}  // namespace
}  // namespace zoret
