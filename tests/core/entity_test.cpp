#include "zoret/entity.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "test_support.hpp"

namespace zoret {
namespace {

using testing::compact_json;

TEST(Robots, DirectivesInFixedOrderAndRecordFields) {
  const std::pair<Robots, const char*> rows[] = {
      {Robots{}, "index,follow"},
      {Robots{false, false, std::nullopt, std::nullopt, std::nullopt}, "noindex,nofollow"},
      {Robots{false, true, -1, "large", 30},
       "noindex,follow,max-snippet:-1,max-image-preview:large,max-video-preview:30"},
      {Robots{true, true, 0, std::nullopt, 0}, "index,follow,max-snippet:0,max-video-preview:0"},
      {Robots{true, true, std::nullopt, "", std::nullopt}, "index,follow,max-image-preview:"},
      {Robots{true, false, std::nullopt, "a,b", std::nullopt},
       "index,nofollow,max-image-preview:a,b"},
      {Robots{true, true, INT32_MIN, std::nullopt, INT32_MAX},
       "index,follow,max-snippet:-2147483648,max-video-preview:2147483647"},
  };
  for (const auto& [robots, expected] : rows) EXPECT_EQ(robots.serialize(), expected);
  EXPECT_EQ(compact_json(Robots{}), R"({"index":true,"follow":true})");
  EXPECT_EQ(compact_json(Robots{false, true, -1, "large", 0}),
            R"({"index":false,"follow":true,"max_snippet":-1,"max_image_preview":"large",)"
            R"("max_video_preview":0})");
}

TEST(EntityTypeFromStr, AcceptsEveryNameRoundTripsAndRefusesOtherSpellings) {
  const std::pair<const char*, const char*> names[] = {
      {"home", "Home"}, {"post", "Post"}, {"page", "Page"}, {"video", "Video"},
      {"taxonomy", "Taxonomy"}, {"search", "Search"}, {"other", "Other"}, {"product", "Product"},
      {"organization", "Organization"}, {"local_business", "LocalBusiness"}, {"faq", "Faq"},
  };
  ASSERT_EQ(std::size(names), kEntityTypeCount);
  for (std::size_t i = 0; i < kEntityTypeCount; ++i) {
    const auto type = entity_type_from_str(names[i].first);
    ASSERT_TRUE(type) << names[i].first;
    EXPECT_EQ(static_cast<std::size_t>(*type), i) << names[i].first;
    EXPECT_EQ(entity_type_name(*type), names[i].first);
    EXPECT_EQ(entity_type_serialized(*type), names[i].second);
  }
  for (const char* name : {"Post", " post", "post ", "LocalBusiness", "local-business", "POST", "",
                           "posts"}) {
    EXPECT_ERROR(entity_type_from_str(name), ErrorKind::InvalidEntity,
                 "entity_type must be one of home/post/page/video/taxonomy/search/other/product/"
                 "organization/local_business/faq, got '" + std::string(name) + "'");
  }
}

TEST(RecordJson, FieldsInDeclarationOrderAbsentLeftOutEmptyListsKept) {
  SEOEntity e;
  e.entity_type = EntityType::LocalBusiness;
  e.breadcrumbs.emplace();
  e.same_as.emplace();
  e.faq_items.emplace();
  EXPECT_EQ(compact_json(e),
            R"({"entity_type":"LocalBusiness","breadcrumbs":[],"same_as":[],"faq_items":[]})");
  EXPECT_EQ(compact_json(SEOImage{"u", 0, std::nullopt, std::nullopt}), R"({"url":"u","width":0})");
  EXPECT_EQ(compact_json(SEOImage{"u", UINT32_MAX, 1, ""}),
            R"({"url":"u","width":4294967295,"height":1,"alt":""})");

  // Every field, in declaration order.
  e = {EntityType::Faq, "s", "t", "e", "<p>b</p>", "draft", SEOImage{"i", std::nullopt, 2, "a"},
       "p", "u", "n", std::vector<Breadcrumb>{{"Home", "/"}, {"Blog", "/blog"}}, "k", "9.50", "EUR",
       "InStock", std::vector<std::string>{"x", "y"}, "addr", std::vector<FAQItem>{{"q?", "a!"}}};
  EXPECT_EQ(compact_json(e),
            R"({"entity_type":"Faq","slug":"s","title":"t","excerpt":"e","body_html":"<p>b</p>",)"
            R"("status":"draft","featured_image":{"url":"i","height":2,"alt":"a"},)"
            R"("published_at":"p","updated_at":"u","author_name":"n","breadcrumbs":)"
            R"([{"name":"Home","url":"/"},{"name":"Blog","url":"/blog"}],"sku":"k",)"
            R"("price":"9.50","price_currency":"EUR","availability":"InStock",)"
            R"("same_as":["x","y"],"address":"addr","faq_items":[{"question":"q?",)"
            R"("answer":"a!"}]})");
}

}  // namespace
}  // namespace zoret
