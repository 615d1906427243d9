#include "zoret/builder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zoret {
namespace {

SEOConfig site() {
  SEOConfig config;
  config.canonical_host = "example.com";
  config.public_base_url = "https://example.com";
  return config;
}

SEOEntity post() {
  SEOEntity entity;
  entity.entity_type = EntityType::Post;
  return entity;
}

SEOPayload build_ok(const SEOEntity& entity, const SEOConfig& config,
                    const SEOOverrides* overrides = nullptr, std::string_view route = "/blog/hello") {
  auto payload = build_seo_payload(entity, route, config, overrides);
  EXPECT_TRUE(payload) << payload.error().display();
  return payload ? *std::move(payload) : SEOPayload{};
}

std::string jsonld_text(const SEOPayload& payload) {
  return payload.schema_jsonld ? to_json_compact(*payload.schema_jsonld) : "absent";
}

TEST(BuildSeoPayload, MinimalPostFallsBackEverywhere) {
  const SEOPayload payload = build_ok(post(), site());
  EXPECT_EQ(payload.title, "Untitled");
  EXPECT_EQ(payload.description, "");
  EXPECT_EQ(payload.canonical, "https://example.com/blog/hello");
  EXPECT_EQ(payload.robots, "index,follow");
  OGPayload og;
  og.type = "article";
  og.title = "Untitled";
  og.url = "https://example.com/blog/hello";
  EXPECT_EQ(payload.og, og);
  TwitterPayload twitter;
  twitter.card = "summary_large_image";
  twitter.title = "Untitled";
  EXPECT_EQ(payload.twitter, twitter);
  EXPECT_EQ(jsonld_text(payload),
            R"({"@context":"https://schema.org","@type":"Article","description":"",)"
            R"("mainEntityOfPage":{"@id":"https://example.com/blog/hello"},"name":"Untitled",)"
            R"("url":"https://example.com/blog/hello"})");
  EXPECT_TRUE(payload.extra.empty());

  const SEOOverrides empty;
  EXPECT_EQ(*build_seo_payload_with_overrides(post(), "/blog/hello", site(), &empty), payload);
}

TEST(BuildSeoPayload, TitleChainAndTemplate) {
  struct Row {
    std::optional<std::string> meta_title;
    std::optional<std::string> entity_title;
    std::optional<std::string> title_template;
    bool skip_template;
    const char* title;
    const char* og_title;
  };
  const std::vector<Row> rows = {
      {"   ", "Hello", std::nullopt, false, "Hello", "Hello"},
      {std::nullopt, " \u3000\t", std::nullopt, false, "Untitled", "Untitled"},
      {std::nullopt, "  Hello  ", "{title} | Brand", false, "Hello | Brand", "Hello | Brand"},
      {std::nullopt, "  Hello  ", "{title} | Brand", true, "Hello", "Hello"},
      {std::nullopt, "Hi", "{title} - {title}", false, "Hi - Hi", "Hi - Hi"},
      {std::nullopt, "Hi", "  {title}  ", false, "  Hi  ", "Hi"},
      {" Mine\n", "Hi", "{title} | Brand", false, "Mine | Brand", "Mine | Brand"},
      {std::nullopt, std::nullopt, "{Title}: {title}", false, "{Title}: Untitled",
       "{Title}: Untitled"},
      {std::nullopt, "{title}", "[{title}]", false, "[{title}]", "[{title}]"},
      {std::nullopt, "Hi", "   ", false, "   ", nullptr},
  };
  for (const Row& row : rows) {
    SEOEntity entity = post();
    entity.title = row.entity_title;
    SEOConfig config = site();
    config.title_template = row.title_template;
    SEOOverrides overrides;
    overrides.meta_title = row.meta_title;
    overrides.skip_title_template = row.skip_template;
    const SEOPayload payload = build_ok(entity, config, &overrides);
    EXPECT_EQ(payload.title, row.title) << row.title;
    EXPECT_EQ(payload.og.title, row.og_title ? std::optional<std::string>(row.og_title)
                                             : std::nullopt)
        << row.title;
    EXPECT_EQ(payload.twitter.title, payload.og.title) << row.title;
  }
}

TEST(BuildSeoPayload, DescriptionChain) {
  const std::string long_body = "<p>" + std::string(200, 'a') + "</p>";
  struct Row {
    std::optional<std::string> meta_description;
    std::optional<std::string> excerpt;
    std::optional<std::string> body;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {std::nullopt, "  Short excerpt ", long_body, "Short excerpt"},
      {std::nullopt, std::nullopt, long_body, std::string(157, 'a') + "..."},
      {" \n", "\u2003", "<p> Hi <b>there</b></p>", "Hi there"},
      {" Meta ", "Excerpt", "<p>Body</p>", "Meta"},
      {std::nullopt, std::nullopt, "<p> </p><script>x</script>", ""},
      {std::nullopt, "", std::nullopt, ""},
  };
  for (const Row& row : rows) {
    SEOEntity entity = post();
    entity.excerpt = row.excerpt;
    entity.body_html = row.body;
    SEOOverrides overrides;
    overrides.meta_description = row.meta_description;
    const SEOPayload payload = build_ok(entity, site(), &overrides);
    EXPECT_EQ(payload.description, row.expected);
    const auto expected_og =
        row.expected.empty() ? std::nullopt : std::optional<std::string>(row.expected);
    EXPECT_EQ(payload.og.description, expected_og) << row.expected;
    EXPECT_EQ(payload.twitter.description, expected_og) << row.expected;
  }
}

TEST(BuildSeoPayload, RobotsRules) {
  Robots noindex_limited;
  noindex_limited.index = false;
  noindex_limited.max_snippet = -1;
  Robots nofollow;
  nofollow.follow = false;
  struct Row {
    EntityType type;
    std::optional<std::string> status;
    std::optional<Robots> override_robots;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {EntityType::Post, "published", std::nullopt, "index,follow"},
      {EntityType::Post, "PUBLISHED", std::nullopt, "index,follow"},
      {EntityType::Page, "PuBlIsHeD", std::nullopt, "index,follow"},
      {EntityType::Post, " published", std::nullopt, "noindex,follow"},
      {EntityType::Post, "published ", std::nullopt, "noindex,follow"},
      {EntityType::Post, "pending", std::nullopt, "noindex,follow"},
      {EntityType::Post, "", std::nullopt, "noindex,follow"},
      {EntityType::Post, std::nullopt, std::nullopt, "noindex,follow,max-snippet:-1"},
      {EntityType::Search, "published", std::nullopt, "noindex,follow"},
      {EntityType::Search, std::nullopt, std::nullopt, "noindex,follow"},
      {EntityType::Search, "published", nofollow, "index,nofollow"},
      {EntityType::Post, "draft", Robots{}, "index,follow"},
  };
  for (const Row& row : rows) {
    SEOEntity entity;
    entity.entity_type = row.type;
    entity.status = row.status;
    SEOConfig config = site();
    config.default_robots = noindex_limited;
    SEOOverrides overrides;
    overrides.robots = row.override_robots;
    EXPECT_EQ(build_ok(entity, config, &overrides).robots, row.expected)
        << entity_type_name(row.type) << " " << row.status.value_or("(none)");
  }
}

TEST(BuildSeoPayload, CanonicalUrl) {
  struct Row {
    std::optional<std::string> canonical_url;
    std::optional<std::string> canonical_path;
    const char* expected;  // the canonical URL, or the error message
    bool fails;
  };
  const std::vector<Row> rows = {
      {std::nullopt, std::nullopt, "https://example.com/blog/hello", false},
      {" \thttps://Shop.example/a?utm_source=news&id=1 \n", std::nullopt,
       "https://Shop.example/a?utm_source=news&id=1", false},
      {"HTTP://EXAMPLE.COM/A", std::nullopt, "HTTP://EXAMPLE.COM/A", false},
      {"https://example.com/x", "/ignored", "https://example.com/x", false},
      {"https://example.com/a/../b", std::nullopt, "https://example.com/a/../b", false},
      {"ftp://example.com/a", std::nullopt, "canonical_url override must use http or https", true},
      {"mailto:a@example.com", std::nullopt, "canonical_url override must use http or https",
       true},
      {"/relative", std::nullopt,
       "canonical_url override must be an absolute URL: relative URL without a base", true},
      {"", std::nullopt,
       "canonical_url override must be an absolute URL: relative URL without a base", true},
      {"  ", "/fine", "canonical_url override must be an absolute URL: relative URL without a base",
       true},
      {"https://example.com:99999/", std::nullopt,
       "canonical_url override must be an absolute URL: invalid port number", true},
      {std::nullopt, "/p/?utm_source=x&page=2", "https://example.com/p?page=2", false},
      {std::nullopt, "", "url_or_path must be a non-empty string", true},
  };
  for (const Row& row : rows) {
    SEOOverrides overrides;
    overrides.canonical_url = row.canonical_url;
    overrides.canonical_path = row.canonical_path;
    auto payload = build_seo_payload(post(), "/blog/hello/", site(), &overrides);
    const std::string label = row.canonical_url.value_or("-") + " | " + row.canonical_path.value_or("-");
    if (row.fails) {
      ASSERT_FALSE(payload) << label;
      EXPECT_EQ(payload.error(), ZoretError(ErrorKind::InvalidUrl, row.expected)) << label;
    } else {
      ASSERT_TRUE(payload) << label << ": " << payload.error().display();
      EXPECT_EQ(payload->canonical, row.expected) << label;
      EXPECT_EQ(payload->og.url, row.expected) << label;
    }
  }
}

TEST(BuildSeoPayload, CanonicalFailsBeforeBreadcrumbs) {
  SEOEntity entity = post();
  entity.breadcrumbs = std::vector<Breadcrumb>{{"Broken", ""}};
  SEOOverrides overrides;
  overrides.canonical_url = "ftp://x";
  EXPECT_EQ(build_seo_payload(entity, "/", site(), &overrides).error().message(),
            "canonical_url override must use http or https");
  overrides.canonical_url.reset();
  overrides.omit_schema = true;
  EXPECT_EQ(build_seo_payload(entity, "/", site(), &overrides).error().message(),
            "url_or_path must be a non-empty string");
}

TEST(BuildSeoPayload, ImagesAreUsedWhole) {
  const SEOImage featured{"/featured.png", 1200, 630, "Featured"};
  const SEOImage fallback{"https://cdn.example/default.png", 10, 10, "Default"};
  const SEOImage og_override{"https://cdn.example/og.png", std::nullopt, std::nullopt, std::nullopt};
  const SEOImage twitter_override{"https://cdn.example/tw.png", 1, 2, "Tw"};
  struct Row {
    const char* label;
    std::optional<SEOImage> og_image;
    std::optional<SEOImage> twitter_image;
    std::optional<SEOImage> featured_image;
    std::optional<SEOImage> default_image;
    const SEOImage* og;
    const SEOImage* twitter;
  };
  const std::vector<Row> rows = {
      {"featured beats default", std::nullopt, std::nullopt, featured, fallback, &featured,
       &featured},
      {"default alone", std::nullopt, std::nullopt, std::nullopt, fallback, &fallback, &fallback},
      {"og override beats featured", og_override, std::nullopt, featured, fallback, &og_override,
       &og_override},
      {"twitter override only for twitter", std::nullopt, twitter_override, featured, fallback,
       &featured, &twitter_override},
      {"none", std::nullopt, std::nullopt, std::nullopt, std::nullopt, nullptr, nullptr},
      {"twitter without og", std::nullopt, twitter_override, std::nullopt, std::nullopt, nullptr,
       &twitter_override},
  };
  for (const Row& row : rows) {
    SEOEntity entity = post();
    entity.featured_image = row.featured_image;
    SEOConfig config = site();
    config.default_og_image = row.default_image;
    SEOOverrides overrides;
    overrides.og_image = row.og_image;
    overrides.twitter_image = row.twitter_image;
    const SEOPayload payload = build_ok(entity, config, &overrides);
    const OGPayload& og = payload.og;
    if (row.og) {
      EXPECT_EQ(og.image, row.og->url) << row.label;
      EXPECT_EQ(og.image_width, row.og->width) << row.label;
      EXPECT_EQ(og.image_height, row.og->height) << row.label;
      EXPECT_EQ(og.image_alt, row.og->alt) << row.label;
    } else {
      EXPECT_FALSE(og.image || og.image_width || og.image_height || og.image_alt) << row.label;
    }
    EXPECT_EQ(payload.twitter.image, row.twitter ? std::optional(row.twitter->url) : std::nullopt)
        << row.label;
    EXPECT_EQ(payload.twitter.image_alt, row.twitter ? row.twitter->alt : std::nullopt) << row.label;
    // JSON-LD follows the Open Graph image, made absolute.
    const Json& schema = *payload.schema_jsonld;
    if (row.og == &featured) {
      EXPECT_EQ(schema["image"], "https://example.com/featured.png") << row.label;
    } else if (row.og == nullptr) {
      EXPECT_FALSE(schema.contains("image")) << row.label;
    } else {
      EXPECT_EQ(schema["image"], row.og->url) << row.label;
    }
  }
}

TEST(BuildSeoPayload, SocialTextChains) {
  SEOEntity entity = post();
  entity.title = "Title";
  entity.excerpt = "Excerpt";
  SEOConfig config = site();
  config.site_name = " Site ";
  config.locale = "en_GB";
  config.locale_alternate = std::vector<std::string>{"de_DE"};
  config.twitter_site = "@site";

  SEOOverrides overrides;
  overrides.og_title = "  OG title ";
  overrides.og_description = " OG description ";
  overrides.twitter_card = " summary ";
  overrides.twitter_creator = " @me ";
  overrides.og_audio = "a.mp3";
  const SEOPayload payload = build_ok(entity, config, &overrides);
  EXPECT_EQ(payload.og.title, "OG title");
  EXPECT_EQ(payload.twitter.title, "OG title");
  EXPECT_EQ(payload.twitter.description, "OG description");
  EXPECT_EQ(payload.twitter.card, "summary");
  EXPECT_EQ(payload.twitter.creator, " @me ");
  EXPECT_EQ(payload.twitter.site, "@site");
  EXPECT_EQ(payload.og.site_name, " Site ");
  EXPECT_EQ(payload.og.locale, "en_GB");
  EXPECT_EQ(payload.og.locale_alternate, config.locale_alternate);
  EXPECT_EQ(payload.og.audio, "a.mp3");
  EXPECT_FALSE(payload.og.video);
  EXPECT_EQ(payload.title, "Title");

  overrides.twitter_title = "Tw";
  overrides.twitter_description = "\u00a0";
  overrides.twitter_card = "  ";
  const SEOPayload twitter = build_ok(entity, config, &overrides);
  EXPECT_EQ(twitter.twitter.title, "Tw");
  EXPECT_EQ(twitter.twitter.description, "OG description");
  EXPECT_EQ(twitter.twitter.card, "summary_large_image");
}

TEST(BuildSeoPayload, OpenGraphTypePerEntityType) {
  for (std::size_t i = 0; i < kEntityTypeCount; ++i) {
    SEOEntity entity;
    entity.entity_type = static_cast<EntityType>(i);
    const bool article =
        entity.entity_type == EntityType::Post || entity.entity_type == EntityType::Video;
    EXPECT_EQ(build_ok(entity, site()).og.type, article ? "article" : "website")
        << entity_type_name(entity.entity_type);
  }
}

TEST(BuildSeoPayload, JsonLdAssembly) {
  const std::string crumbs =
      R"({"@context":"https://schema.org","@type":"BreadcrumbList","itemListElement":[)"
      R"({"@type":"ListItem","item":"https://example.com/","name":"Home","position":1}]})";
  const std::string empty_crumbs =
      R"({"@context":"https://schema.org","@type":"BreadcrumbList","itemListElement":[]})";
  const std::string article =
      R"({"@context":"https://schema.org","@type":"Article","description":"",)"
      R"("mainEntityOfPage":{"@id":"https://example.com/p"},"name":"Untitled",)"
      R"("url":"https://example.com/p"})";
  struct Row {
    const char* label;
    bool omit;
    std::optional<Json> replacement;
    bool auto_generate;
    std::optional<std::vector<Breadcrumb>> breadcrumbs;
    std::string expected;
  };
  const std::vector<Breadcrumb> home = {{"Home", "/"}};
  const Json two = Json::array({Json::object({{"a", 1}}), Json::object({{"b", 2}})});
  const std::vector<Row> rows = {
      {"omit with breadcrumbs", true, std::nullopt, true, home, crumbs},
      {"omit wins over replacement", true, Json::object({{"a", 1}}), true, std::nullopt, "absent"},
      {"replacement of two plus breadcrumbs", false, two, true, home,
       R"([{"a":1},{"b":2},)" + crumbs + "]"},
      {"empty replacement", false, Json::array(), true, std::nullopt, "absent"},
      {"empty replacement with breadcrumbs", false, Json::array(), true, home, crumbs},
      {"one-element replacement", false, Json::array({Json::array({1, 2})}), true, std::nullopt,
       "[1,2]"},
      {"replacement scalar", false, Json("x"), false, std::nullopt, R"("x")"},
      {"no generation", false, std::nullopt, false, std::nullopt, "absent"},
      {"no generation with breadcrumbs", false, std::nullopt, false, home, crumbs},
      {"generated", false, std::nullopt, true, std::nullopt, article},
      {"generated with empty breadcrumbs", false, std::nullopt, true,
       std::vector<Breadcrumb>{}, "[" + article + "," + empty_crumbs + "]"},
  };
  for (const Row& row : rows) {
    SEOEntity entity = post();
    entity.breadcrumbs = row.breadcrumbs;
    SEOConfig config = site();
    config.auto_generate_schema = row.auto_generate;
    SEOOverrides overrides;
    overrides.omit_schema = row.omit;
    overrides.schema_jsonld = row.replacement;
    EXPECT_EQ(jsonld_text(build_ok(entity, config, &overrides, "/p")), row.expected) << row.label;
  }
}

TEST(BuildSeoPayload, SchemaContextCarriesResolvedFacts) {
  SchemaRegistry registry;
  registry.insert("Recipe", [](const SchemaContext& context) {
    return Json::array({std::string(context.url), std::string(context.name),
                        std::string(context.description.value_or("-")),
                        std::string(context.image.value_or("-"))});
  });
  SEOEntity entity = post();
  entity.title = " Soup ";
  entity.excerpt = "Hot";
  entity.featured_image = SEOImage{"/soup.png", std::nullopt, std::nullopt, std::nullopt};
  SEOConfig config = site();
  config.title_template = "{title} | Kitchen";
  config.schema_type_map["post"] = "Recipe";
  auto payload = build_seo_payload(entity, "/soup", config, nullptr, &registry);
  ASSERT_TRUE(payload);
  // The registered builder returned an array, which is spread into the list.
  EXPECT_EQ(jsonld_text(*payload),
            R"(["https://example.com/soup","Soup | Kitchen","Hot","/soup.png"])");
  EXPECT_EQ(jsonld_text(*build_seo_payload_with_overrides(entity, "/soup", config, nullptr)),
            R"({"@context":"https://schema.org","@type":"Recipe","description":"Hot",)"
            R"("image":"https://example.com/soup.png","name":"Soup | Kitchen",)"
            R"("url":"https://example.com/soup"})");
}

}  // namespace
}  // namespace zoret
