#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "zoret/jsonld/article.hpp"
#include "zoret/jsonld/breadcrumbs.hpp"
#include "zoret/jsonld/faq.hpp"
#include "zoret/jsonld/organization.hpp"
#include "zoret/jsonld/product.hpp"
#include "zoret/jsonld/schema.hpp"
#include "zoret/jsonld/video.hpp"
#include "zoret/jsonld/website.hpp"

namespace zoret {
namespace {

constexpr const char* kSearchTemplate = "https://example.com/search?q={search_term_string}";

SEOConfig site() {
  SEOConfig config;
  config.canonical_host = "example.com";
  config.public_base_url = "https://example.com";
  return config;
}

SchemaContext context_for(const SEOEntity& entity, const SEOConfig& config,
                          const SchemaRegistry* registry = nullptr) {
  return SchemaContext{entity, config, "https://example.com/p", "Title",
                       std::string_view("Desc"), std::nullopt, registry};
}

std::string compact(const Result<Json>& value) {
  if (!value) return "error: " + value.error().display();
  return to_json_compact(*value);
}

// The keys a builder adds on top of those the base object can have.
std::string extra_keys(const Json& object) {
  static const std::vector<std::string> kBase = {
      "@context", "@type",  "author",    "dateModified", "datePublished",
      "description", "image", "name", "publisher", "url"};
  std::string out;
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (std::find(kBase.begin(), kBase.end(), it.key()) != kBase.end()) continue;
    if (!out.empty()) out += ',';
    out += it.key();
  }
  return out;
}

TEST(BaseSchema, LeavesOutAbsentSourcesAndKeepsEmptyOnes) {
  const SEOConfig config = site();
  SEOEntity entity;
  EXPECT_EQ(compact(base_schema("Thing", context_for(entity, config))),
            R"({"@context":"https://schema.org","@type":"Thing","description":"Desc",)"
            R"("name":"Title","url":"https://example.com/p"})");

  SEOConfig publishing = site();
  publishing.publisher_name = "Pub";
  publishing.publisher_logo = "/logo.png";
  entity.published_at = "2024-01-02";
  entity.updated_at = "yesterday";
  entity.author_name = "Ann";
  SchemaContext context = context_for(entity, publishing);
  context.description = "";
  context.image = "/img/a.png";
  EXPECT_EQ(compact(base_schema("Thing", context)),
            R"({"@context":"https://schema.org","@type":"Thing",)"
            R"("author":{"@type":"Person","name":"Ann"},"dateModified":"yesterday",)"
            R"("datePublished":"2024-01-02","description":"","image":"https://example.com/img/a.png",)"
            R"("name":"Title","publisher":{"@type":"Organization","logo":"https://example.com/logo.png",)"
            R"("name":"Pub"},"url":"https://example.com/p"})");

  context.description = std::nullopt;
  EXPECT_FALSE(base_schema("Thing", context)->contains("description"));
}

TEST(BaseSchema, PublisherNeedsAName) {
  SEOEntity entity;
  SEOConfig config = site();
  config.publisher_name = "Pub";
  EXPECT_EQ(to_json_compact((*base_schema("Thing", context_for(entity, config)))["publisher"]),
            R"({"@type":"Organization","name":"Pub"})");
  config.publisher_name.reset();
  config.publisher_logo = "https://cdn.example/logo.png";
  EXPECT_FALSE(base_schema("Thing", context_for(entity, config))->contains("publisher"));
}

TEST(AbsolutizeSchemaUrl, GluesAnythingButHttpPrefixesToTheBase) {
  struct Row {
    const char* base;
    const char* url;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {"https://b///", "/a.png", "https://b/a.png"},
      {"https://b/", "img/a.png", "https://bimg/a.png"},
      {"https://b", "HTTPS://x", "https://bHTTPS://x"},
      {"https://b/app/", "/a.png", "https://b/app/a.png"},
      {"https://b", " /a b", "https://b /a b"},
      {"https://b", "", "https://b"},
      {"https://b", "http://x/y", "http://x/y"},
      {"https://b", "https://x", "https://x"},
      {"https://b", "//cdn/x", "https://b//cdn/x"},
      {"///", "/a", "/a"},
  };
  for (const Row& row : rows) {
    SEOConfig config = site();
    config.public_base_url = row.base;
    EXPECT_EQ(absolutize_schema_url(row.url, config), row.expected) << row.base << " + " << row.url;
  }
}

TEST(BuildSchema, DispatchesOnTheExactMappedName) {
  struct Row {
    const char* mapped;
    const char* type;
    const char* extra;
  };
  const std::vector<Row> rows = {
      {"Article", "Article", "mainEntityOfPage"},
      {"BlogPosting", "BlogPosting", "mainEntityOfPage"},
      {"NewsArticle", "NewsArticle", "mainEntityOfPage"},
      {"Product", "Product", "sku"},
      {"FAQPage", "FAQPage", "mainEntity"},
      {"WebPage", "WebPage", ""},
      {"WebSite", "WebSite", "potentialAction"},
      {"CollectionPage", "CollectionPage", ""},
      {"SearchResultsPage", "SearchResultsPage", ""},
      {"VideoObject", "VideoObject", "uploadDate"},
      {"Organization", "Organization", "sameAs"},
      {"LocalBusiness", "LocalBusiness", "address,sameAs"},
      {"Recipe", "Recipe", ""},
      {"article", "article", ""},
      {"", "", ""},
  };
  SEOEntity entity;
  entity.entity_type = EntityType::Post;
  entity.published_at = "2024-01-02";
  entity.sku = "S1";
  entity.faq_items.emplace();
  entity.same_as.emplace();
  entity.address = "1 Main St";
  for (const Row& row : rows) {
    SEOConfig config = site();
    config.search_url_template = kSearchTemplate;
    config.schema_type_map["post"] = row.mapped;
    auto schema = build_schema(context_for(entity, config));
    ASSERT_TRUE(schema && *schema) << row.mapped;
    EXPECT_EQ((**schema)["@type"], row.type) << row.mapped;
    EXPECT_EQ(extra_keys(**schema), row.extra) << row.mapped;
  }
}

TEST(BuildSchema, NoTypeMeansNoSchema) {
  SEOEntity entity;
  SEOConfig config = site();
  entity.entity_type = EntityType::Other;
  EXPECT_FALSE(*build_schema(context_for(entity, config)));

  entity.entity_type = EntityType::Post;
  config.schema_type_map["post"] = std::nullopt;
  EXPECT_FALSE(*build_schema(context_for(entity, config)));
  config.schema_type_map.erase("post");
  EXPECT_FALSE(*build_schema(context_for(entity, config)));

  entity.entity_type = EntityType::LocalBusiness;
  EXPECT_EQ((**build_schema(context_for(entity, config)))["@type"], "LocalBusiness");
}

TEST(BuildWebsite, SearchActionOnlyForWebSiteWithPlaceholder) {
  struct Row {
    const char* type;
    std::optional<std::string> search_template;
    bool has_action;
  };
  const std::vector<Row> rows = {
      {"WebSite", kSearchTemplate, true},
      {"WebSite", "https://example.com/search?q={query}", false},
      {"WebSite", "{SEARCH_TERM_STRING}", false},
      {"WebSite", std::nullopt, false},
      {"WebPage", kSearchTemplate, false},
      {"CollectionPage", kSearchTemplate, false},
      {"SearchResultsPage", kSearchTemplate, false},
      {"website", kSearchTemplate, false},
  };
  SEOEntity entity;
  for (const Row& row : rows) {
    SEOConfig config = site();
    config.search_url_template = row.search_template;
    auto site_object = build_website(row.type, context_for(entity, config));
    ASSERT_TRUE(site_object);
    EXPECT_EQ(site_object->contains("potentialAction"), row.has_action) << row.type;
  }

  SEOConfig config = site();
  config.search_url_template = "/s?q={search_term_string}";
  EXPECT_EQ(to_json_compact((*build_website("WebSite", context_for(entity, config)))["potentialAction"]),
            R"({"@type":"SearchAction","query-input":"required name=search_term_string",)"
            R"("target":{"@type":"EntryPoint","urlTemplate":"/s?q={search_term_string}"}})");
}

TEST(BuildArticle, MainEntityOfPageIsOnlyTheUrl) {
  SEOEntity entity;
  const SEOConfig config = site();
  auto article = build_article("BlogPosting", context_for(entity, config));
  EXPECT_EQ(compact(article),
            R"({"@context":"https://schema.org","@type":"BlogPosting","description":"Desc",)"
            R"("mainEntityOfPage":{"@id":"https://example.com/p"},"name":"Title",)"
            R"("url":"https://example.com/p"})");
}

TEST(BuildVideo, ThumbnailAndUploadDateMirrorTheBase) {
  SEOEntity entity;
  const SEOConfig config = site();
  auto bare = build_video(context_for(entity, config));
  EXPECT_EQ(compact(bare),
            R"({"@context":"https://schema.org","@type":"VideoObject","description":"Desc",)"
            R"("name":"Title","url":"https://example.com/p"})");

  entity.published_at = "2024-05-06T07:08:09Z";
  SchemaContext context = context_for(entity, config);
  context.image = "/thumb.jpg";
  auto video = build_video(context);
  ASSERT_TRUE(video);
  EXPECT_EQ((*video)["thumbnailUrl"], "https://example.com/thumb.jpg");
  EXPECT_EQ((*video)["image"], (*video)["thumbnailUrl"]);
  EXPECT_EQ((*video)["uploadDate"], "2024-05-06T07:08:09Z");
  EXPECT_EQ((*video)["datePublished"], (*video)["uploadDate"]);
}

TEST(BuildOrganization, SameAsAndOwnLogo) {
  SEOEntity entity;
  SEOConfig config = site();
  auto plain = build_organization(context_for(entity, config));
  EXPECT_FALSE(plain->contains("sameAs"));
  EXPECT_FALSE(plain->contains("logo"));

  entity.same_as.emplace();
  EXPECT_EQ(to_json_compact((*build_organization(context_for(entity, config)))["sameAs"]), "[]");
  entity.same_as = {"https://x.example/o", "https://y.example/o"};
  EXPECT_EQ(to_json_compact((*build_organization(context_for(entity, config)))["sameAs"]),
            R"(["https://x.example/o","https://y.example/o"])");

  config.publisher_logo = "img/logo.png";
  config.publisher_name = "Org";
  auto org = build_organization(context_for(entity, config));
  EXPECT_EQ((*org)["logo"], "img/logo.png");
  EXPECT_EQ((*org)["publisher"]["logo"], "https://example.comimg/logo.png");
}

TEST(BuildLocalBusiness, OrganisationRetypedWithAddress) {
  SEOEntity entity;
  SEOConfig config = site();
  config.publisher_logo = "/l.png";
  auto without = build_local_business(context_for(entity, config));
  EXPECT_EQ((*without)["@type"], "LocalBusiness");
  EXPECT_EQ((*without)["logo"], "/l.png");
  EXPECT_FALSE(without->contains("address"));

  entity.address = "1 Main St, Springfield 12345, US";
  EXPECT_EQ(to_json_compact((*build_local_business(context_for(entity, config)))["address"]),
            R"({"@type":"PostalAddress","streetAddress":"1 Main St, Springfield 12345, US"})");
}

TEST(BuildProduct, OffersFromAnyPriceField) {
  struct Row {
    std::optional<std::string> price;
    std::optional<std::string> currency;
    std::optional<std::string> availability;
    const char* offers;  // nullptr: no "offers"
  };
  const std::vector<Row> rows = {
      {std::nullopt, std::nullopt, "InStock",
       R"({"@type":"Offer","availability":"https://schema.org/InStock"})"},
      {"19.90", "EUR", std::nullopt, R"({"@type":"Offer","price":"19.90","priceCurrency":"EUR"})"},
      {std::nullopt, "", std::nullopt, R"({"@type":"Offer","priceCurrency":""})"},
      {std::nullopt, std::nullopt, "https://schema.org/InStock",
       R"({"@type":"Offer","availability":"https://schema.org/https://schema.org/InStock"})"},
      {std::nullopt, std::nullopt, std::nullopt, nullptr},
  };
  const SEOConfig config = site();
  for (const Row& row : rows) {
    SEOEntity entity;
    entity.price = row.price;
    entity.price_currency = row.currency;
    entity.availability = row.availability;
    auto product = build_product(context_for(entity, config));
    ASSERT_TRUE(product);
    if (row.offers == nullptr) {
      EXPECT_FALSE(product->contains("offers"));
    } else {
      EXPECT_EQ(to_json_compact((*product)["offers"]), row.offers);
    }
  }

  SEOEntity entity;
  entity.sku = "";
  EXPECT_EQ((*build_product(context_for(entity, config)))["sku"], "");
}

TEST(BuildFaqPage, QuestionsInOrder) {
  SEOEntity entity;
  const SEOConfig config = site();
  EXPECT_FALSE(build_faq_page(context_for(entity, config))->contains("mainEntity"));
  entity.faq_items = std::vector<FAQItem>{{"Why?", "Because."}, {"How?", "<b>So</b>"}};
  EXPECT_EQ(to_json_compact((*build_faq_page(context_for(entity, config)))["mainEntity"]),
            R"([{"@type":"Question","acceptedAnswer":{"@type":"Answer","text":"Because."},"name":"Why?"},)"
            R"({"@type":"Question","acceptedAnswer":{"@type":"Answer","text":"<b>So</b>"},"name":"How?"}])");
}

TEST(BuildBreadcrumbList, ResolvesEachUrlAndCountsFromOne) {
  const SEOConfig config = site();
  const std::vector<Breadcrumb> crumbs = {
      {"Home", "/"}, {"Blog", "/blog/?utm_source=x"}, {"Post", "https://other.example/blog/post"}};
  auto list = build_breadcrumb_list(crumbs, config);
  EXPECT_EQ(compact(list),
            R"({"@context":"https://schema.org","@type":"BreadcrumbList","itemListElement":[)"
            R"({"@type":"ListItem","item":"https://example.com/","name":"Home","position":1},)"
            R"({"@type":"ListItem","item":"https://example.com/blog","name":"Blog","position":2},)"
            R"({"@type":"ListItem","item":"https://example.com/blog/post","name":"Post","position":3}]})");
  EXPECT_TRUE((*list)["itemListElement"][0]["position"].is_number_unsigned());

  EXPECT_EQ(compact(build_breadcrumb_list({}, config)),
            R"({"@context":"https://schema.org","@type":"BreadcrumbList","itemListElement":[]})");
}

TEST(BuildBreadcrumbList, FirstResolutionErrorWins) {
  SEOConfig config = site();
  auto last_empty = build_breadcrumb_list({{"Home", "/"}, {"Post", ""}}, config);
  ASSERT_FALSE(last_empty);
  EXPECT_EQ(last_empty.error(),
            ZoretError(ErrorKind::InvalidUrl, "url_or_path must be a non-empty string"));

  config.public_base_url = "https://example.com:99999";
  auto bad_base = build_breadcrumb_list({{"Blank", " "}, {"Home", "/"}}, config);
  ASSERT_FALSE(bad_base);
  EXPECT_EQ(bad_base.error().kind(), ErrorKind::InvalidUrl);
}

TEST(SchemaRegistry, InsertReplaceAndList) {
  SchemaRegistry registry;
  EXPECT_FALSE(registry.has("Recipe"));
  EXPECT_TRUE(registry.list_types().empty());

  registry.insert("Recipe", [](const SchemaContext&) { return Json("first"); });
  registry.insert("Event", [](const SchemaContext&) { return Json("event"); });
  registry.insert("Recipe", [](const SchemaContext&) { return Json("second"); });
  registry.insert("recipe", [](const SchemaContext&) { return Json("lower"); });
  EXPECT_EQ(registry.list_types(), (std::vector<std::string>{"Event", "Recipe", "recipe"}));
  EXPECT_TRUE(registry.has("Recipe"));
  EXPECT_FALSE(registry.has("RECIPE"));
  EXPECT_FALSE(registry.has("Recipe "));

  SEOEntity entity;
  const SEOConfig config = site();
  EXPECT_EQ(registry.build("Recipe", context_for(entity, config)), Json("second"));
  EXPECT_FALSE(registry.build("Course", context_for(entity, config)));
}

TEST(SchemaRegistry, UsedOnlyForNamesWithoutABuiltin) {
  SchemaRegistry registry;
  registry.insert("Recipe", [](const SchemaContext& context) {
    return Json::array({std::string(context.name), "custom"});
  });
  registry.insert("Article", [](const SchemaContext&) { return Json("shadow"); });

  SEOEntity entity;
  entity.entity_type = EntityType::Post;
  SEOConfig config = site();
  config.schema_type_map["post"] = "Recipe";
  EXPECT_EQ(to_json_compact(**build_schema(context_for(entity, config, &registry))),
            R"(["Title","custom"])");
  config.schema_type_map["post"] = "Article";
  EXPECT_TRUE((**build_schema(context_for(entity, config, &registry))).contains("mainEntityOfPage"));
  config.schema_type_map["post"] = "Course";
  EXPECT_EQ(extra_keys(**build_schema(context_for(entity, config, &registry))), "");
}

TEST(SchemaRegistry, BuildersRunOutsideTheLock) {
  // A builder that registers another would deadlock if it were called under the
  // registry's lock.
  SchemaRegistry registry;
  registry.insert("Recipe", [&registry](const SchemaContext&) {
    registry.insert("Course", [](const SchemaContext&) { return Json("course"); });
    return Json(registry.has("Course"));
  });
  SEOEntity entity;
  const SEOConfig config = site();
  EXPECT_EQ(registry.build("Recipe", context_for(entity, config, &registry)), Json(true));

  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&registry, &entity, &config, t] {
      for (int i = 0; i < 200; ++i) {
        registry.insert("T" + std::to_string(t), [](const SchemaContext&) { return Json(1); });
        EXPECT_EQ(registry.build("Course", context_for(entity, config, &registry)), Json("course"));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(registry.list_types().size(), 6u);
}

}  // namespace
}  // namespace zoret
