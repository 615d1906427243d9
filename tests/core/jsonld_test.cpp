#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "test_support.hpp"
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

using testing::value_of;
const std::string kHead = R"({"@context":"https://schema.org","@type":)";

std::string compact(const Result<Json>& value) {
  return value ? to_json_compact(*value) : "error: " + value.error().display();
}

std::string compact(const Json& value) {
  return to_json_compact(value);
}

// The members a builder adds to those the base object can have, as compact JSON.
std::string extras(Json object) {
  for (const char* key : {"@context", "@type", "author", "dateModified", "datePublished",
                          "description", "image", "name", "publisher", "url"}) {
    object.erase(key);
  }
  return to_json_compact(object);
}

// Builds for the page https://example.com/p named "Title" and described "Desc".
class JsonLd : public ::testing::Test {
 protected:
  SchemaContext ctx(const SchemaRegistry* registry = nullptr) const {
    return {entity, config, "https://example.com/p", "Title", "Desc", std::nullopt, registry};
  }
  SEOEntity entity;
  SEOConfig config = testing::site();
};

TEST_F(JsonLd, BaseSchemaLeavesOutAbsentSourcesAndKeepsEmptyOnes) {
  config.publisher_logo = "https://cdn.example/logo.png";  // without a name: no publisher
  EXPECT_EQ(compact(base_schema("Thing", ctx())),
            kHead + R"("Thing","description":"Desc","name":"Title",)"
                    R"("url":"https://example.com/p"})");
  config.publisher_name = "Pub";
  config.publisher_logo = "/logo.png";
  entity.published_at = "2024-01-02";
  entity.updated_at = "yesterday";
  entity.author_name = "Ann";
  SchemaContext context = ctx();
  context.description = "";
  context.image = "/img/a.png";
  EXPECT_EQ(compact(base_schema("Thing", context)),
            kHead + R"("Thing","author":{"@type":"Person","name":"Ann"},)"
                    R"("dateModified":"yesterday","datePublished":"2024-01-02","description":"",)"
                    R"("image":"https://example.com/img/a.png","name":"Title","publisher":)"
                    R"({"@type":"Organization","logo":"https://example.com/logo.png",)"
                    R"("name":"Pub"},"url":"https://example.com/p"})");
  context.description = std::nullopt;
  EXPECT_FALSE(base_schema("Thing", context).contains("description"));
  config.publisher_logo.reset();
  EXPECT_EQ(compact(base_schema("Thing", ctx())["publisher"]),
            R"({"@type":"Organization","name":"Pub"})");
}

TEST_F(JsonLd, AbsolutizeGluesAnythingButHttpPrefixesToTheBase) {
  const std::tuple<const char*, const char*, const char*> rows[] = {
      // base, url, result
      {"https://b///", "/a.png", "https://b/a.png"}, {"https://b", "", "https://b"},
      {"https://b/", "img/a.png", "https://bimg/a.png"}, {"///", "/a", "/a"},
      {"https://b", "HTTPS://x", "https://bHTTPS://x"}, {"https://b", "http://x/y", "http://x/y"},
      {"https://b", "https://x", "https://x"},
  };
  for (const auto& [base, url, expected] : rows) {
    config.public_base_url = base;
    EXPECT_EQ(absolutize_schema_url(url, config), expected) << base << " + " << url;
  }
}

TEST_F(JsonLd, BuildSchemaDispatchesOnTheExactMappedName) {
  entity.entity_type = EntityType::Post;
  entity.published_at = "2024-01-02";
  entity.sku = "";
  entity.faq_items = std::vector<FAQItem>{{"Why?", "Because."}, {"How?", "<b>So</b>"}};
  entity.same_as = {"https://x.example/o", "https://y.example/o"};
  entity.address = "1 Main St";
  config.search_url_template = "/s?q={search_term_string}";
  config.publisher_logo = "img/logo.png";
  const std::string page = R"({"mainEntityOfPage":{"@id":"https://example.com/p"}})";
  const std::string org =
      R"("logo":"img/logo.png","sameAs":["https://x.example/o","https://y.example/o"]})";
  const std::pair<const char*, std::string> rows[] = {
      // mapped name (also the @type), members beyond the base ones
      {"Article", page}, {"BlogPosting", page}, {"NewsArticle", page},
      {"Product", R"({"sku":""})"},
      {"FAQPage", R"({"mainEntity":[{"@type":"Question","acceptedAnswer":{"@type":"Answer",)"
                  R"("text":"Because."},"name":"Why?"},{"@type":"Question","acceptedAnswer":)"
                  R"({"@type":"Answer","text":"<b>So</b>"},"name":"How?"}]})"},
      {"WebSite", R"({"potentialAction":{"@type":"SearchAction","query-input":)"
                  R"("required name=search_term_string","target":{"@type":"EntryPoint",)"
                  R"("urlTemplate":"/s?q={search_term_string}"}}})"},
      {"VideoObject",
       R"({"thumbnailUrl":"https://example.com/thumb.jpg","uploadDate":"2024-01-02"})"},
      {"Organization", "{" + org},
      {"LocalBusiness",
       R"({"address":{"@type":"PostalAddress","streetAddress":"1 Main St"},)" + org},
      {"Recipe", "{}"}, {"article", "{}"},
  };
  SchemaContext context = ctx();
  context.image = "/thumb.jpg";
  for (const auto& [mapped, extra] : rows) {
    config.schema_type_map["post"] = mapped;
    const auto schema = build_schema(context);
    ASSERT_TRUE(schema) << mapped;
    EXPECT_EQ((*schema)["@type"], mapped);
    EXPECT_EQ(extras(*schema), extra) << mapped;
  }
  config.schema_type_map["post"] = std::nullopt;  // no type, no schema
  EXPECT_FALSE(build_schema(ctx()));
  config.schema_type_map.erase("post");
  EXPECT_FALSE(build_schema(ctx()));
}

TEST_F(JsonLd, SearchActionNeedsTheExactPlaceholder) {
  EXPECT_FALSE(build_website("WebSite", ctx()).contains("potentialAction"));
  config.search_url_template = "https://example.com/search?q={SEARCH_TERM_STRING}";
  EXPECT_FALSE(build_website("WebSite", ctx()).contains("potentialAction"));
}

TEST_F(JsonLd, OptionalMembersAreLeftOutOrKeptEmpty) {
  for (auto* build : {&build_video, &build_organization, &build_faq_page, &build_local_business,
                      &build_product}) {
    EXPECT_EQ(extras(build(ctx())), "{}");
  }
  entity.same_as.emplace();
  entity.faq_items.emplace();
  EXPECT_EQ(extras(build_organization(ctx())), R"({"sameAs":[]})");
  EXPECT_EQ(extras(build_faq_page(ctx())), R"({"mainEntity":[]})");

  // The organisation's own logo is kept as given; the publisher's is made absolute.
  config.publisher_logo = "img/logo.png";
  config.publisher_name = "Org";
  EXPECT_EQ(build_organization(ctx())["publisher"]["logo"], "https://example.comimg/logo.png");
}

TEST_F(JsonLd, ProductOffersFromAnyPriceField) {
  using S = std::optional<std::string>;
  const std::tuple<S, S, S, const char*> rows[] = {
      // price, currency, availability, offers
      {{}, {}, "InStock", R"({"@type":"Offer","availability":"https://schema.org/InStock"})"},
      {"19.90", "EUR", {}, R"({"@type":"Offer","price":"19.90","priceCurrency":"EUR"})"},
      {{}, "", {}, R"({"@type":"Offer","priceCurrency":""})"},
      {{}, {}, "https://schema.org/InStock",
       R"({"@type":"Offer","availability":"https://schema.org/https://schema.org/InStock"})"},
  };
  for (const auto& [price, currency, availability, offers] : rows) {
    entity.price = price;
    entity.price_currency = currency;
    entity.availability = availability;
    EXPECT_EQ(compact(build_product(ctx())["offers"]), offers);
  }
}

TEST_F(JsonLd, BreadcrumbsResolveEachUrlCountFromOneAndRefuseEmptyUrls) {
  EXPECT_EQ(compact(build_breadcrumb_list({}, config)),
            kHead + R"("BreadcrumbList","itemListElement":[]})");
  const Json list =
      value_of(build_breadcrumb_list({{"Home", "/"}, {"Post", "https://o.example/p/"}}, config));
  EXPECT_EQ(compact(list["itemListElement"]),
            R"([{"@type":"ListItem","item":"https://example.com/","name":"Home","position":1},)"
            R"({"@type":"ListItem","item":"https://example.com/p","name":"Post","position":2}])");
  EXPECT_TRUE(list["itemListElement"][0]["position"].is_number_unsigned());
  EXPECT_EQ(compact(build_breadcrumb_list({{"Home", "/"}, {"Post", ""}}, config)),
            "error: invalid URL: url_or_path must be a non-empty string");
}

TEST_F(JsonLd, RegistryReplacesListsAndServesOnlyNamesWithoutABuiltin) {
  SchemaRegistry registry;
  registry.insert("Recipe", [](const SchemaContext&) { return Json("first"); });
  registry.insert("Recipe", [](const SchemaContext&) { return Json("second"); });
  registry.insert("Article", [](const SchemaContext&) { return Json("shadow"); });
  EXPECT_EQ(registry.list_types(), (std::vector<std::string>{"Article", "Recipe"}));
  EXPECT_TRUE(registry.has("Recipe") && !registry.has("Course"));
  EXPECT_FALSE(registry.build("Course", ctx()));
  EXPECT_EQ(registry.build("Recipe", ctx()), Json("second"));
  entity.entity_type = EntityType::Post;  // a builtin name is not served from the registry
  config.schema_type_map["post"] = "Article";
  EXPECT_TRUE(build_schema(ctx(&registry))->contains("mainEntityOfPage"));
}

TEST_F(JsonLd, RegistryBuildersRunOutsideTheLock) {
  // A builder that registers another would deadlock if called under the lock.
  SchemaRegistry registry;
  registry.insert("Recipe", [&registry](const SchemaContext&) {
    registry.insert("Course", [](const SchemaContext&) { return Json("course"); });
    return Json(registry.has("Course"));
  });
  EXPECT_EQ(registry.build("Recipe", ctx(&registry)), Json(true));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, &registry, t] {
      for (int i = 0; i < 200; ++i) {
        registry.insert("T" + std::to_string(t), [](const SchemaContext&) { return Json(1); });
        EXPECT_EQ(registry.build("Course", ctx(&registry)), Json("course"));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(registry.list_types().size(), 6u);
}

}  // namespace
}  // namespace zoret
