#include "zoret/builder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "test_support.hpp"
#include "zoret/jsonld/breadcrumbs.hpp"

namespace zoret {
namespace {

using S = std::optional<std::string>;  // {} in a row: absent
using testing::value_of;

// Builds the post at /blog/hello (or `route`) for example.com.
class Build : public ::testing::Test {
 protected:
  Build() { entity.entity_type = EntityType::Post; }
  [[nodiscard]] SEOPayload build(std::string_view route = "/blog/hello") const {
    return value_of(build_seo_payload(entity, route, config, &overrides));
  }
  static std::string jsonld(const SEOPayload& p) {
    return p.schema_jsonld ? to_json_compact(*p.schema_jsonld) : "absent";
  }
  SEOEntity entity;
  SEOConfig config = testing::site();
  SEOOverrides overrides;
};

TEST_F(Build, MinimalPostFallsBackEverywhere) {
  EXPECT_EQ(testing::compact_json(build()),
            R"({"title":"Untitled","description":"","canonical":"https://example.com/blog/hello",)"
            R"("robots":"index,follow","og":{"type":"article","title":"Untitled",)"
            R"("url":"https://example.com/blog/hello"},"twitter":{"card":"summary_large_image",)"
            R"("title":"Untitled"},"schema_jsonld":{"@context":"https://schema.org",)"
            R"("@type":"Article","description":"","mainEntityOfPage":)"
            R"({"@id":"https://example.com/blog/hello"},"name":"Untitled",)"
            R"("url":"https://example.com/blog/hello"}})");
}

TEST_F(Build, TitleChainAndTemplate) {
  const std::tuple<S, S, S, bool, const char*, const char*> rows[] = {
      {"   ", "Hello", {}, false, "Hello", "Hello"}, {{}, "Hi", "   ", false, "   ", nullptr},
      {{}, " \u3000\t", {}, false, "Untitled", "Untitled"},
      {{}, "Hi", "  {title}  ", false, "  Hi  ", "Hi"},
      {{}, "  Hello  ", "{title} | Brand", true, "Hello", "Hello"},
      {{}, "Hi", "{title} - {title}", false, "Hi - Hi", "Hi - Hi"},
      {" Mine\n", "Hi", "{title} | Brand", false, "Mine | Brand", "Mine | Brand"},
  };
  for (const auto& [meta, title, title_template, skip, expected, og_title] : rows) {
    overrides.meta_title = meta;
    entity.title = title;
    config.title_template = title_template;
    overrides.skip_title_template = skip;
    const SEOPayload payload = build();
    const S social = og_title ? S(og_title) : std::nullopt;
    EXPECT_EQ(std::tie(payload.title, payload.og.title, payload.twitter.title),
              std::tie(expected, social, social));
  }
}

TEST_F(Build, DescriptionChain) {
  const std::string long_body = "<p>" + std::string(200, 'a') + "</p>";
  const std::tuple<S, S, S, std::string> rows[] = {
      {{}, "  Short excerpt ", long_body, "Short excerpt"},
      {{}, {}, long_body, std::string(157, 'a') + "..."},
      {" \n", "\u2003", "<p> Hi <b>there</b></p>", "Hi there"},
      {" Meta ", "Excerpt", "<p>Body</p>", "Meta"}, {{}, "", {}, ""},
      {{}, {}, "<p> </p><script>x</script>", ""},
  };
  for (const auto& [meta, excerpt, body, expected] : rows) {
    overrides.meta_description = meta;
    entity.excerpt = excerpt;
    entity.body_html = body;
    const SEOPayload payload = build();
    const S social = expected.empty() ? std::nullopt : S(expected);
    EXPECT_EQ(std::tie(payload.description, payload.og.description, payload.twitter.description),
              std::tie(expected, social, social));
  }
}

TEST_F(Build, RobotsRules) {
  using enum EntityType;
  const Robots nofollow{true, false, {}, {}, {}};
  const std::tuple<EntityType, S, std::optional<Robots>, const char*> rows[] = {
      {Page, "PuBlIsHeD", {}, "index,follow"}, {Post, " published", {}, "noindex,follow"},
      {Post, {}, {}, "noindex,follow,max-snippet:-1"}, {Search, "published", {}, "noindex,follow"},
      {Search, "published", nofollow, "index,nofollow"}, {Post, "draft", Robots{}, "index,follow"},
  };
  config.default_robots = {false, true, -1, {}, {}};
  for (const auto& [type, status, robots, expected] : rows) {
    entity.entity_type = type;
    entity.status = status;
    overrides.robots = robots;
    EXPECT_EQ(build().robots, expected) << entity_type_name(type) << " " << status.value_or("-");
  }
}

TEST_F(Build, CanonicalUrl) {
  const std::string no_base =
      "canonical_url override must be an absolute URL: relative URL without a base";
  const std::string scheme = "canonical_url override must use http or https";
  const std::tuple<S, S, std::string, bool> rows[] = {
      {" \thttps://Shop.example/a?utm_source=news&id=1 \n", {},
       "https://Shop.example/a?utm_source=news&id=1", false},
      {"HTTP://EXAMPLE.COM/A", {}, "HTTP://EXAMPLE.COM/A", false}, {"  ", "/fine", no_base, true},
      {"https://example.com/x", "/ignored", "https://example.com/x", false},
      {"mailto:a@example.com", {}, scheme, true},
      {{}, "/p/?utm_source=x&page=2", "https://example.com/p?page=2", false},
      {{}, "", "url_or_path must be a non-empty string", true},
  };
  for (const auto& [url, path, expected, fails] : rows) {
    overrides.canonical_url = url;
    overrides.canonical_path = path;
    const auto p = build_seo_payload(entity, "/blog/hello/", config, &overrides);
    // The canonical URL and the Open Graph URL, or the error.
    EXPECT_EQ(p ? p->canonical + " " + p->og.url.value_or("-") : p.error().display(),
              fails ? "invalid URL: " + expected : expected + " " + expected)
        << url.value_or("-") << " | " << path.value_or("-");
  }
  // Broken breadcrumbs fail the build, even without a schema, but after the canonical URL.
  entity.breadcrumbs = std::vector<Breadcrumb>{{"Broken", ""}};
  overrides = {};
  overrides.canonical_url = "ftp://x";
  overrides.omit_schema = true;
  EXPECT_EQ(build_seo_payload(entity, "/", config, &overrides).error().message(), scheme);
  overrides.canonical_url.reset();
  EXPECT_EQ(build_seo_payload(entity, "/", config, &overrides).error().message(),
            "url_or_path must be a non-empty string");
}

TEST_F(Build, ImagesAreUsedWhole) {
  using I = std::optional<SEOImage>;
  // Featured, default, Open Graph override and Twitter override images.
  const SEOImage f{"/featured.png", 1200, 630, "Featured"};
  const SEOImage d{"https://cdn.example/default.png", 10, 10, "Default"};
  const SEOImage o{"https://cdn.example/og.png", std::nullopt, std::nullopt, std::nullopt};
  const SEOImage t{"https://cdn.example/tw.png", 1, 2, "Tw"};
  const std::tuple<I, I, I, I, const SEOImage*, const SEOImage*> rows[] = {
      {{}, {}, f, d, &f, &f}, {{}, {}, {}, d, &d, &d}, {o, {}, f, d, &o, &o}, {{}, t, f, d, &f, &t},
      {{}, {}, {}, {}, nullptr, nullptr}, {{}, t, {}, {}, nullptr, &t},
  };
  for (const auto& [og_override, twitter_override, featured_image, default_image, og, tw] : rows) {
    overrides.og_image = og_override;
    overrides.twitter_image = twitter_override;
    entity.featured_image = featured_image;
    config.default_og_image = default_image;
    const SEOPayload p = build();
    const SEOImage none{"-", {}, {}, {}}, want_og = og ? *og : none, want_tw = tw ? *tw : none;
    EXPECT_EQ(std::tie(p.og.image, p.og.image_width, p.og.image_height, p.og.image_alt),
              std::tuple(og ? S(og->url) : S(), want_og.width, want_og.height, want_og.alt));
    EXPECT_EQ(std::tie(p.twitter.image, p.twitter.image_alt),
              std::tuple(tw ? S(tw->url) : S(), want_tw.alt));
    // JSON-LD follows the Open Graph image, made absolute.
    const Json& schema = *p.schema_jsonld;
    EXPECT_EQ(schema.contains("image") ? S(schema["image"].get<std::string>()) : std::nullopt,
              og == &f ? S("https://example.com/featured.png") : og ? S(og->url) : S());
  }
}

TEST_F(Build, SocialTextChains) {
  entity.title = "Title";
  entity.excerpt = "Excerpt";
  config.site_name = " Site ";
  config.locale = "en_GB";
  config.locale_alternate = std::vector<std::string>{"de_DE"};
  config.twitter_site = "@site";
  overrides.og_title = "  OG title ";
  overrides.og_description = " OG description ";
  overrides.twitter_card = " summary ";
  overrides.twitter_creator = " @me ";
  overrides.og_audio = "a.mp3";
  const SEOPayload payload = build();
  EXPECT_EQ(testing::compact_json(payload.og),
            R"({"type":"article","title":"OG title","description":"OG description",)"
            R"("url":"https://example.com/blog/hello","site_name":" Site ","locale":"en_GB",)"
            R"("locale_alternate":["de_DE"],"audio":"a.mp3"})");
  EXPECT_EQ(testing::compact_json(payload.twitter),
            R"({"card":"summary","title":"OG title","description":"OG description",)"
            R"("site":"@site","creator":" @me "})");
  overrides.twitter_title = "Tw";
  overrides.twitter_description = "\u00a0";
  overrides.twitter_card = "  ";
  EXPECT_EQ(testing::compact_json(build().twitter),
            R"({"card":"summary_large_image","title":"Tw","description":"OG description",)"
            R"("site":"@site","creator":" @me "})");
}

TEST_F(Build, OpenGraphTypePerEntityType) {
  for (std::size_t i = 0; i < kEntityTypeCount; ++i) {
    entity.entity_type = static_cast<EntityType>(i);
    const bool article = i == std::size_t(EntityType::Post) || i == std::size_t(EntityType::Video);
    EXPECT_EQ(build().og.type, article ? "article" : "website") << i;
  }
}

TEST_F(Build, JsonLdAssembly) {
  using B = std::optional<std::vector<Breadcrumb>>;
  const B home = std::vector<Breadcrumb>{{"Home", "/"}};
  const std::string article = jsonld(build("/p"));
  const std::string crumbs = to_json_compact(value_of(build_breadcrumb_list(*home, config)));
  const std::string no_crumbs = to_json_compact(value_of(build_breadcrumb_list({}, config)));
  const Json two = Json::array({Json::object({{"a", 1}}), Json::object({{"b", 2}})});
  const std::tuple<bool, std::optional<Json>, bool, B, std::string> rows[] = {
      {true, {}, true, home, crumbs}, {true, Json::object({{"a", 1}}), true, {}, "absent"},
      {false, two, true, home, R"([{"a":1},{"b":2},)" + crumbs + "]"},
      {false, Json::array(), true, {}, "absent"},
      {false, Json::array({Json::array({1, 2})}), true, {}, "[1,2]"},
      {false, Json("x"), false, {}, R"("x")"},
      {false, {}, true, std::vector<Breadcrumb>{}, "[" + article + "," + no_crumbs + "]"},
      // Null items are no JSON-LD; a null override does not bring the built one back.
      {false, Json(), true, {}, "absent"},
      {false, Json::array({nullptr}), true, {}, "absent"},
      {false, Json::array({nullptr, Json::object({{"a", 1}}), nullptr}), true, home,
       R"([{"a":1},)" + crumbs + "]"},
      {false, Json::array({Json::array({nullptr})}), true, {}, "[null]"},
  };
  for (const auto& [omit, replacement, auto_generate, breadcrumbs, expected] : rows) {
    overrides.omit_schema = omit;
    overrides.schema_jsonld = replacement;
    config.auto_generate_schema = auto_generate;
    entity.breadcrumbs = breadcrumbs;
    const SEOPayload payload = build("/p");
    EXPECT_EQ(jsonld(payload), expected);
    // The dictionary form, which hooks see, reads back to the same payload.
    EXPECT_EQ(value_of(SEOPayload::from_dict(payload.to_dict())), payload) << expected;
  }
}

TEST_F(Build, SchemaContextCarriesResolvedFacts) {
  SchemaRegistry registry;
  registry.insert("Recipe", [](const SchemaContext& c) {
    return Json::array({c.url, c.name, c.description.value_or("-"), c.image.value_or("-")});
  });
  entity.title = " Soup ";
  entity.excerpt = "Hot";
  entity.featured_image = SEOImage{"/soup.png", std::nullopt, std::nullopt, std::nullopt};
  config.title_template = "{title} | Kitchen";
  config.schema_type_map["post"] = "Recipe";
  // A registered builder's array is spread into the list.
  EXPECT_EQ(jsonld(value_of(build_seo_payload(entity, "/soup", config, nullptr, &registry))),
            R"(["https://example.com/soup","Soup | Kitchen","Hot","/soup.png"])");
}

}  // namespace
}  // namespace zoret
