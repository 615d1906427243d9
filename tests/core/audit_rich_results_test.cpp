#include <gtest/gtest.h>

#include <set>

#include "audit_support.hpp"
#include "zoret/audit/rich_results.hpp"

namespace zoret {
namespace {

using testing::audit_page_facts;
using testing::codes;
using testing::parse;

struct JsonLdRow {
  std::string jsonld;
  std::vector<std::string> found;  // ZORET220 required, ZORET221 recommended
};

void run(const std::vector<JsonLdRow>& rows) {
  for (const JsonLdRow& row : rows) {
    PageFacts page = audit_page_facts();
    page.jsonld = {parse(row.jsonld)};
    EXPECT_EQ(codes(audit_page(page, testing::example_rules())), row.found) << row.jsonld;
  }
}

TEST(AuditRichResults, Articles) {
  run({
      {R"({"@type":"Article","headline":"H","author":{"@type":"Person","name":"A"},)"
       R"("datePublished":"2024","dateModified":"2024","image":["https://e.com/a.png"]})",
       {}},
      {R"({"@type":"BlogPosting"})",
       {"ZORET221 jsonld[0].author", "ZORET221 jsonld[0].dateModified",
        "ZORET221 jsonld[0].datePublished", "ZORET221 jsonld[0].headline",
        "ZORET221 jsonld[0].image"}},
      // Two article types share one list: reported once.
      {R"({"@type":["NewsArticle","Article"],"headline":"H","author":"A","image":"i",)"
       R"("datePublished":"2024"})",
       {"ZORET221 jsonld[0].dateModified"}},
      {R"({"@type":"https://schema.org/NewsArticle","headline":" ","author":null,"image":[],)"
       R"("datePublished":{},"dateModified":0})",
       {"ZORET221 jsonld[0].author", "ZORET221 jsonld[0].datePublished",
        "ZORET221 jsonld[0].headline", "ZORET221 jsonld[0].image"}},
      {R"({"@type":"article"})", {}},
      {R"({"@type":"TechArticle"})", {}},
      {R"({"headline":"no type"})", {}},
  });
}

TEST(AuditRichResults, ProductsAndOffers) {
  auto product = [](const std::string& rest) {
    return R"({"@type":"Product","name":"P","image":"i","description":"d","brand":"b","sku":"s")" +
           rest + "}";
  };
  const std::string offer_ok =
      R"({"@type":"Offer","price":"9.99","priceCurrency":"EUR","availability":"InStock","url":"u"})";
  run({
      {product(R"(,"offers":)" + offer_ok), {}},
      {product(""), {"ZORET220 jsonld[0].offers|review|aggregateRating"}},
      {product(R"(,"review":{"@type":"Review"})"), {}},
      {product(R"(,"offers":[)" + offer_ok + R"(,{"@type":"Offer","availability":"a","url":"u"}])"),
       {"ZORET220 jsonld[0].offers[1].priceCurrency|priceSpecification.priceCurrency",
        "ZORET220 jsonld[0].offers[1].price|priceSpecification.price"}},
      {product(R"(,"offers":{"priceSpecification":{"price":1,"priceCurrency":"EUR"},)"
               R"("availability":"a","url":"u"})"),
       {}},
      {product(R"(,"offers":{"@type":"AggregateOffer","lowPrice":1,"priceCurrency":"EUR"})"),
       {"ZORET221 jsonld[0].offers.highPrice", "ZORET221 jsonld[0].offers.offerCount"}},
      {product(R"(,"offers":{"@type":"Demand"})"), {}},
      {product(R"(,"offers":"9.99 EUR")"), {}},
      {product(R"(,"aggregateRating":{"@type":"AggregateRating","ratingValue":4.5})"),
       {"ZORET220 jsonld[0].aggregateRating.ratingCount|reviewCount"}},
      // An offer alone is no rich result.
      {R"({"@type":"Offer"})", {}},
      {R"({"@type":"Product","offers":)" + offer_ok + "}",
       {"ZORET220 jsonld[0].name", "ZORET221 jsonld[0].brand", "ZORET221 jsonld[0].description",
        "ZORET221 jsonld[0].image", "ZORET221 jsonld[0].sku"}},
  });
}

TEST(AuditRichResults, ListsQuestionsVideosAndSites) {
  run({
      {R"({"@type":"BreadcrumbList","itemListElement":[)"
       R"({"@type":"ListItem","position":1,"name":"Home","item":"https://e.com/"},)"
       R"({"@type":"ListItem","position":2,"item":{"@id":"https://e.com/b","name":"Blog"}},)"
       R"({"position":3,"name":"Post"}]})",
       {"ZORET221 jsonld[0].itemListElement[2].item"}},
      {R"({"@type":"BreadcrumbList","itemListElement":[{"@type":"ListItem","item":{"@id":"x"}}]})",
       {"ZORET220 jsonld[0].itemListElement[0].name|item.name",
        "ZORET220 jsonld[0].itemListElement[0].position"}},
      {R"({"@type":"BreadcrumbList","itemListElement":[]})",
       {"ZORET220 jsonld[0].itemListElement"}},
      {R"({"@type":"FAQPage","mainEntity":[{"@type":"Question","name":"Q",)"
       R"("acceptedAnswer":{"@type":"Answer","text":"A"}},{"@type":"Question","name":"R"},)"
       R"({"@type":"Question","name":"S","acceptedAnswer":{"text":" "}}]})",
       {"ZORET220 jsonld[0].mainEntity[1].acceptedAnswer",
        "ZORET220 jsonld[0].mainEntity[2].acceptedAnswer.text"}},
      {R"({"@type":"VideoObject","name":"","thumbnailUrl":[],"uploadDate":null,)"
       R"("description":"d","embedUrl":"e","duration":"PT1M"})",
       {"ZORET220 jsonld[0].name", "ZORET220 jsonld[0].thumbnailUrl",
        "ZORET220 jsonld[0].uploadDate"}},
      {R"({"@type":"schema:VideoObject","name":"v","thumbnailUrl":"t","uploadDate":"2024"})",
       {"ZORET221 jsonld[0].contentUrl|embedUrl", "ZORET221 jsonld[0].description",
        "ZORET221 jsonld[0].duration"}},
      {R"({"@type":"LocalBusiness","name":"Shop","telephone":"1","url":"u","geo":{"a":1},)"
       R"("openingHoursSpecification":[1],"priceRange":"$"})",
       {"ZORET220 jsonld[0].address"}},
      {R"({"@type":"Restaurant"})", {}},
      {R"({"@context":"https://schema.org","@graph":[)"
       R"({"@type":"Organization","name":"O","url":"u","logo":"l","sameAs":["s"]},)"
       R"({"@type":"WebSite","url":"u","potentialAction":{"@type":"SearchAction","target":"t"}}]})",
       {"ZORET220 jsonld[0].@graph[1].name",
        "ZORET220 jsonld[0].@graph[1].potentialAction.query-input"}},
      {R"([{"@type":"Organization","name":"O","url":"u","logo":"l","sameAs":"s"},)"
       R"([{"@type":"Organization","url":"u","logo":"l","sameAs":"s"}]])",
       {"ZORET221 jsonld[0][1][0].name"}},
      // An object with both @graph and @type is a node of its own.
      {R"({"@type":"Organization","name":"O","url":"u","logo":"l","sameAs":"s","@graph":[)"
       R"({"@type":"Organization","url":"u","logo":"l","sameAs":"s"}]})",
       {"ZORET221 jsonld[0].@graph[0].name"}},
      {R"("just a string")", {}},
  });
}

TEST(AuditRichResults, MessagesAndFields) {
  PageFacts page = audit_page_facts();
  page.jsonld = {parse(R"({"@type":"Product"})")};
  const std::vector<Violation> found = audit_page(page, AuditRules{});
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].field, "jsonld[0].name");
  EXPECT_EQ(found[1].field, "jsonld[0].offers|review|aggregateRating");
  EXPECT_EQ(found[1].expected, "one of offers, review, aggregateRating");
  EXPECT_EQ(found[1].actual, "absent");
  EXPECT_EQ(found[1].message,
            "Product at jsonld[0] has none of \"offers\", \"review\", \"aggregateRating\", which "
            "its rich result requires.");
  EXPECT_EQ(found[1].severity, ContractSeverity::Error);
  EXPECT_EQ(found.back().severity, ContractSeverity::Info);
  EXPECT_EQ(found.back().message,
            "Product at jsonld[0] has no \"sku\", which its rich result recommends.");
}

TEST(AuditRichResults, DeepNestingStaysBounded) {
  Json deep = Json::object({{"@type", "Product"}, {"name", "P"}});
  for (int i = 0; i < 5000; ++i) deep = Json::array({std::move(deep)});
  PageFacts page = audit_page_facts();
  // Moved in, never copied: a copy of a value this deep recurses past a sanitizer's stack.
  page.jsonld.push_back(std::move(deep));
  EXPECT_TRUE(audit_page(page, AuditRules{}).empty());
  Json offers = Json::object({{"@type", "Offer"}});
  for (int i = 0; i < 5000; ++i) {
    offers = Json::object({{"@type", "Product"}, {"name", "P"}, {"offers", std::move(offers)}});
  }
  page.jsonld.clear();
  page.jsonld.push_back(std::move(offers));
  EXPECT_FALSE(audit_page(page, AuditRules{}).empty());
}

TEST(RichResultProfiles, TableIsConsistent) {
  std::set<std::string_view> types;
  for (const RichResultProfile& profile : rich_result_profiles()) {
    EXPECT_TRUE(types.insert(profile.type).second) << profile.type;
    EXPECT_EQ(find_rich_result_profile(profile.type), &profile);
    for (const auto& list : {profile.required, profile.recommended}) {
      for (std::string_view requirement : list) {
        EXPECT_FALSE(requirement.empty()) << profile.type;
        EXPECT_EQ(requirement.find_first_of(" ,"), std::string_view::npos) << requirement;
      }
    }
    for (const NestedProfile& nested : profile.nested) {
      ASSERT_FALSE(nested.types.empty()) << profile.type;
      for (std::string_view type : nested.types) {
        const RichResultProfile* child = find_rich_result_profile(type);
        ASSERT_NE(child, nullptr) << type;
        EXPECT_FALSE(child->root) << type;
      }
    }
  }
  EXPECT_EQ(find_rich_result_profile("http://schema.org/FAQPage")->type, "FAQPage");
  EXPECT_EQ(find_rich_result_profile("https://schema.org/"), nullptr);
  EXPECT_EQ(find_rich_result_profile("schema:schema:FAQPage"), nullptr);
}

}  // namespace
}  // namespace zoret
