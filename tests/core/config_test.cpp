#include "zoret/config.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zoret {
namespace {

constexpr const char* kHostEmpty = "canonical_host must be a non-empty string";
constexpr const char* kHostOnly = "canonical_host must be host-only (no scheme/path/query)";
constexpr const char* kBaseEmpty = "public_base_url must be a non-empty string";
constexpr const char* kTemplate = "title_template must include '{title}' placeholder";

SEOConfig config_of(std::string host, std::string base,
                    std::optional<std::string> title_template = std::nullopt) {
  SEOConfig c;
  c.canonical_host = std::move(host);
  c.public_base_url = std::move(base);
  c.title_template = std::move(title_template);
  return c;
}

std::string compact_json(const SEOConfig& config) {
  std::string out;
  JsonWriter w(out, /*pretty=*/false);
  write_json(w, config);
  return out;
}

TEST(ValidateConfig, FirstFailingCheckWins) {
  struct Row {
    SEOConfig config;
    const char* expected_message;  // nullptr: accepted
  };
  const std::vector<Row> rows = {
      {config_of("", ""), kHostEmpty},
      {config_of("", "https://example.com", "no placeholder"), kHostEmpty},
      {config_of("https://example.com", "https://example.com"), kHostOnly},
      {config_of("example.com/blog", "https://example.com"), kHostOnly},
      {config_of("example.com?x=1", "https://example.com"), kHostOnly},
      {config_of("example.com#top", "https://example.com"), kHostOnly},
      {config_of("example.com/", "", "bad"), kHostOnly},
      {config_of("example.com", ""), kBaseEmpty},
      {config_of("example.com", "", "bad"), kBaseEmpty},
      {config_of("example.com:8080", "https://example.com"), nullptr},
      {config_of("Example.COM", "https://example.com"), nullptr},
      {config_of(" ", "not a url"), nullptr},
      {config_of("example.com", "https://example.com", "Read {title} | Site"), nullptr},
      {config_of("example.com", "https://example.com", "{title}"), nullptr},
      {config_of("example.com", "https://example.com", ""), kTemplate},
      {config_of("example.com", "https://example.com", "{Title} | Site"), kTemplate},
      {config_of("example.com", "https://example.com", "{ title }"), kTemplate},
  };
  for (const auto& row : rows) {
    auto result = validate(row.config);
    const std::string label = "host='" + row.config.canonical_host + "' base='" +
                              row.config.public_base_url + "'";
    if (row.expected_message == nullptr) {
      EXPECT_TRUE(result) << label << ": " << result.error().message();
      continue;
    }
    ASSERT_FALSE(result) << label;
    EXPECT_EQ(result.error().kind(), ErrorKind::InvalidConfiguration) << label;
    EXPECT_EQ(result.error().message(), row.expected_message) << label;
  }
}

TEST(SEOConfigDefaults, CoreDefaultAndValueInitialisedRecord) {
  const SEOConfig core = SEOConfig::make_default();
  EXPECT_EQ(core.canonical_host, "localhost");
  EXPECT_EQ(core.public_base_url, "http://localhost");
  EXPECT_EQ(core.title_template, "{title}");
  EXPECT_TRUE(validate(core));

  const SEOConfig plain{};
  EXPECT_FALSE(plain.title_template);
  EXPECT_EQ(plain.default_robots.serialize(), "index,follow");
  EXPECT_EQ(plain.search_robots.serialize(), "noindex,follow");
  EXPECT_TRUE(plain.auto_generate_schema);
  EXPECT_FALSE(plain.emit_warnings);
  EXPECT_EQ(plain.schema_type_map, default_schema_type_map());
}

TEST(SEOConfigDefaults, BuiltInSchemaTypeMapCoversAllButOther) {
  const SchemaTypeMap map = default_schema_type_map();
  EXPECT_EQ(map.size(), kEntityTypeCount - 1);
  for (std::size_t i = 0; i < kEntityTypeCount; ++i) {
    const auto name = std::string(entity_type_name(static_cast<EntityType>(i)));
    EXPECT_EQ(map.contains(name), name != "other") << name;
  }
  EXPECT_EQ(map.at("post"), "Article");
  EXPECT_EQ(map.at("local_business"), "LocalBusiness");
}

TEST(SEOConfigJson, DefaultFormWritesNullTemplateAndOmitsAbsentFields) {
  SEOConfig config = config_of("example.com", "https://example.com");
  EXPECT_EQ(compact_json(config),
            R"({"canonical_host":"example.com","public_base_url":"https://example.com",)"
            R"("url_policy":{"enforce_https":true,"lowercase_paths":false,)"
            R"("trailing_slash":"Never","collapse_duplicate_slashes":true,)"
            R"("strip_tracking_params":true,"allowed_query_params":[],)"
            R"("extra_tracking_params":[]},)"
            R"("default_robots":{"index":true,"follow":true},)"
            R"("title_template":null,)"
            R"("search_robots":{"index":false,"follow":true},)"
            R"("schema_type_map":{"faq":"FAQPage","home":"WebSite",)"
            R"("local_business":"LocalBusiness","organization":"Organization",)"
            R"("page":"WebPage","post":"Article","product":"Product",)"
            R"("search":"SearchResultsPage","taxonomy":"CollectionPage",)"
            R"("video":"VideoObject"},)"
            R"("auto_generate_schema":true,"emit_warnings":false})");
}

TEST(SEOConfigJson, EveryOptionalFieldInDeclarationOrder) {
  SEOConfig config = config_of("h", "b", "{title}");
  config.url_policy.trailing_slash = TrailingSlash::Always;
  config.default_og_image = SEOImage{"og.png", 1200, 630, std::nullopt};
  config.site_name = "Site";
  config.schema_type_map = {{"post", "BlogPosting"}, {"custom", std::nullopt}};
  config.publisher_name = "Pub";
  config.publisher_logo = "logo.png";
  config.locale = "en_US";
  config.locale_alternate = std::vector<std::string>{};
  config.twitter_site = "@site";
  config.emit_warnings = true;
  config.search_url_template = "/search?q={search_term_string}";
  EXPECT_EQ(compact_json(config),
            R"({"canonical_host":"h","public_base_url":"b",)"
            R"("url_policy":{"enforce_https":true,"lowercase_paths":false,)"
            R"("trailing_slash":"Always","collapse_duplicate_slashes":true,)"
            R"("strip_tracking_params":true,"allowed_query_params":[],)"
            R"("extra_tracking_params":[]},)"
            R"("default_robots":{"index":true,"follow":true},)"
            R"("default_og_image":{"url":"og.png","width":1200,"height":630},)"
            R"("site_name":"Site","title_template":"{title}",)"
            R"("search_robots":{"index":false,"follow":true},)"
            R"("schema_type_map":{"custom":null,"post":"BlogPosting"},)"
            R"("auto_generate_schema":true,"publisher_name":"Pub",)"
            R"("publisher_logo":"logo.png","locale":"en_US","locale_alternate":[],)"
            R"("twitter_site":"@site","emit_warnings":true,)"
            R"("search_url_template":"/search?q={search_term_string}"})");
}

}  // namespace
}  // namespace zoret
