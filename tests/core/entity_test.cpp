#include "zoret/entity.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zoret {
namespace {

template <class Record>
std::string compact_json(const Record& record) {
  std::string out;
  JsonWriter w(out, /*pretty=*/false);
  write_json(w, record);
  return out;
}

TEST(RobotsSerialize, DirectivesInFixedOrder) {
  struct Row {
    Robots robots;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {Robots{}, "index,follow"},
      {Robots{false, false, std::nullopt, std::nullopt, std::nullopt}, "noindex,nofollow"},
      {Robots{false, true, -1, "large", 30},
       "noindex,follow,max-snippet:-1,max-image-preview:large,max-video-preview:30"},
      {Robots{true, true, 0, std::nullopt, 0}, "index,follow,max-snippet:0,max-video-preview:0"},
      {Robots{true, true, std::nullopt, "", std::nullopt}, "index,follow,max-image-preview:"},
      {Robots{true, false, std::nullopt, "a,b", std::nullopt}, "index,nofollow,max-image-preview:a,b"},
      {Robots{true, true, INT32_MIN, std::nullopt, INT32_MAX},
       "index,follow,max-snippet:-2147483648,max-video-preview:2147483647"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.robots.serialize(), row.expected);
  }
}

TEST(EntityTypeFromStr, AcceptsEveryNameAndRoundTrips) {
  const std::vector<std::pair<const char*, const char*>> names = {
      {"home", "Home"},         {"post", "Post"},
      {"page", "Page"},         {"video", "Video"},
      {"taxonomy", "Taxonomy"}, {"search", "Search"},
      {"other", "Other"},       {"product", "Product"},
      {"organization", "Organization"}, {"local_business", "LocalBusiness"},
      {"faq", "Faq"},
  };
  ASSERT_EQ(names.size(), kEntityTypeCount);
  for (std::size_t i = 0; i < names.size(); ++i) {
    auto type = entity_type_from_str(names[i].first);
    ASSERT_TRUE(type) << names[i].first;
    EXPECT_EQ(static_cast<std::size_t>(*type), i) << names[i].first;
    EXPECT_EQ(entity_type_name(*type), names[i].first);
    EXPECT_EQ(entity_type_serialized(*type), names[i].second);
  }
}

TEST(EntityTypeFromStr, RefusesEveryOtherSpelling) {
  for (const char* name : {"Post", " post", "post ", "LocalBusiness", "local-business",
                           "POST", "", "posts"}) {
    auto type = entity_type_from_str(name);
    ASSERT_FALSE(type) << name;
    EXPECT_EQ(type.error().kind(), ErrorKind::InvalidEntity);
    EXPECT_EQ(type.error().message(),
              "entity_type must be one of "
              "home/post/page/video/taxonomy/search/other/product/organization/"
              "local_business/faq, got '" +
                  std::string(name) + "'");
  }
}

TEST(RecordJson, AbsentFieldsLeftOutEmptyListsKept) {
  SEOEntity only_type;
  only_type.entity_type = EntityType::Post;

  SEOEntity empty_lists;
  empty_lists.entity_type = EntityType::LocalBusiness;
  empty_lists.breadcrumbs.emplace();
  empty_lists.same_as.emplace();
  empty_lists.faq_items.emplace();

  struct Row {
    std::string actual;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {compact_json(only_type), R"({"entity_type":"Post"})"},
      {compact_json(empty_lists),
       R"({"entity_type":"LocalBusiness","breadcrumbs":[],"same_as":[],"faq_items":[]})"},
      {compact_json(SEOImage{"u", 0, std::nullopt, std::nullopt}), R"({"url":"u","width":0})"},
      {compact_json(SEOImage{"u", UINT32_MAX, 1, ""}),
       R"({"url":"u","width":4294967295,"height":1,"alt":""})"},
      {compact_json(Robots{}), R"({"index":true,"follow":true})"},
      {compact_json(Robots{false, true, -1, "large", 0}),
       R"({"index":false,"follow":true,"max_snippet":-1,"max_image_preview":"large","max_video_preview":0})"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST(RecordJson, EntityFieldsInDeclarationOrder) {
  SEOEntity e;
  e.entity_type = EntityType::Faq;
  e.slug = "s";
  e.title = "t";
  e.excerpt = "e";
  e.body_html = "<p>b</p>";
  e.status = "draft";
  e.featured_image = SEOImage{"i", std::nullopt, 2, "a"};
  e.published_at = "p";
  e.updated_at = "u";
  e.author_name = "n";
  e.breadcrumbs = std::vector<Breadcrumb>{{"Home", "/"}, {"Blog", "/blog"}};
  e.sku = "k";
  e.price = "9.50";
  e.price_currency = "EUR";
  e.availability = "InStock";
  e.same_as = std::vector<std::string>{"x", "y"};
  e.address = "addr";
  e.faq_items = std::vector<FAQItem>{{"q?", "a!"}};
  EXPECT_EQ(compact_json(e),
            R"({"entity_type":"Faq","slug":"s","title":"t","excerpt":"e","body_html":"<p>b</p>",)"
            R"("status":"draft","featured_image":{"url":"i","height":2,"alt":"a"},)"
            R"("published_at":"p","updated_at":"u","author_name":"n",)"
            R"("breadcrumbs":[{"name":"Home","url":"/"},{"name":"Blog","url":"/blog"}],)"
            R"("sku":"k","price":"9.50","price_currency":"EUR","availability":"InStock",)"
            R"("same_as":["x","y"],"address":"addr","faq_items":[{"question":"q?","answer":"a!"}]})");
}

}  // namespace
}  // namespace zoret
