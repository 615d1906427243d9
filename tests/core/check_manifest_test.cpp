#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check_support.hpp"
#include "zoret/builder.hpp"
#include "zoret/check/manifest.hpp"
#include "zoret/payload_output.hpp"

namespace zoret {
namespace {

using testing::compiled;
using testing::HeapCopy;
using testing::site;
using testing::value_of;

struct LineRow {
  std::string line;
  std::string error;  // empty: the line reads
};

TEST(ReadManifestLine, RefusesWhatIsNotALineOfTheManifest) {
  const std::vector<LineRow> rows = {
      {R"({"route":"/a","entity":{"entity_type":"post"}})", ""},
      {R"({"route":"/a","entity":{"entity_type":"post"},"overrides":null})" "\r", ""},
      {R"({"route":"/a")", "invalid JSON: EOF while parsing an object at line 1 column 13"},
      {"", "invalid JSON: EOF while parsing a value at line 1 column 0"},
      {"[1]", "a manifest line must be a JSON object, got list"},
      {R"({"entity":{}})", "missing \"route\""},
      {R"({"route":5,"entity":{}})", "\"route\" must be a string, got int"},
      {R"({"route":"/a"})", "missing \"entity\""},
      {R"({"route":"/a","entity":{},"overides":{}})",
       "unknown key \"overides\" (a line has route, entity and overrides)"},
      {R"({"route":"/a","entity":[]})", "entity: the entity must be a table, got list"},
      {R"({"route":"/a","entity":{"entity_type":"post"},"overrides":1})",
       "overrides: the overrides must be a table, got int"},
      {R"({"route":"/a","entity":{"entity_type":"post","title":"\ud800"}})",
       "invalid JSON: unexpected end of hex escape at line 1 column 61"},
  };
  for (const LineRow& row : rows) {
    auto read = read_manifest_line(HeapCopy(row.line).view());
    EXPECT_EQ(read ? "" : read.error().message(), row.error) << row.line;
  }
}

TEST(EntityFromForm, ReadsEveryFieldAndNamesTheFirstProblem) {
  auto entity = value_of(entity_from_form(testing::parse(R"({
      "entity_type": "post", "slug": "s", "title": "T", "excerpt": "E", "body_html": "<p>b",
      "status": "published", "featured_image": {"url": "/i.png", "width": 2, "height": true},
      "published_at": "2026-01-02", "updated_at": null, "author_name": "A",
      "breadcrumbs": [{"name": "Home", "url": "/"}], "sku": "k", "price": "1",
      "price_currency": "EUR", "availability": "InStock", "same_as": ["x"], "address": "ad",
      "faq_items": [{"question": "Q", "answer": "A"}]})")));
  EXPECT_EQ(testing::compact_json(entity),
            R"({"entity_type":"Post","slug":"s","title":"T","excerpt":"E","body_html":"<p>b",)"
            R"("status":"published","featured_image":{"url":"/i.png","width":2,"height":1},)"
            R"("published_at":"2026-01-02","author_name":"A","breadcrumbs":[{"name":"Home",)"
            R"("url":"/"}],"sku":"k","price":"1","price_currency":"EUR","availability":)"
            R"("InStock","same_as":["x"],"address":"ad","faq_items":[{"question":"Q",)"
            R"("answer":"A"}]})");

  const std::vector<LineRow> rows = {
      {R"({"entity_type":"post","titel":1,"zeta":2})",
       "SEOEntity.__new__() got an unexpected keyword argument 'titel'"},
      {R"({"title":"x"})",
       "SEOEntity.__new__() missing 1 required positional argument: 'entity_type'"},
      {R"({"entity_type":null})",
       "'NoneType' object cannot be converted to 'str' (while processing 'entity_type')"},
      // Conversions come before the type name is parsed, and go in parameter order.
      {R"({"entity_type":"pots","title":5,"slug":2.5})",
       "'float' object cannot be converted to 'str' (while processing 'slug')"},
      {R"({"entity_type":"pots"})",
       "entity_type must be one of home/post/page/video/taxonomy/search/other/product/"
       "organization/local_business/faq, got 'pots'"},
      // Nested records are read first, whatever else is wrong.
      {R"({"titel":1,"featured_image":{"url":"u","width":-1}})",
       "featured_image: out of range integral type conversion attempted (while processing "
       "'width')"},
      {R"({"entity_type":"post","featured_image":{"url":"u","width":4294967296}})",
       "featured_image: out of range integral type conversion attempted (while processing "
       "'width')"},
      {R"({"entity_type":"post","featured_image":{"url":"u","height":"1"}})",
       "featured_image: 'str' object cannot be interpreted as an integer (while processing "
       "'height')"},
      {R"({"entity_type":"post","featured_image":{}})",
       "featured_image: SEOImage.__new__() missing 1 required positional argument: 'url'"},
      {R"({"entity_type":"post","featured_image":[]})",
       "featured_image must be a table or a URL, got list"},
      {R"({"entity_type":"post","breadcrumbs":{}})", "breadcrumbs must be a list, got dict"},
      {R"({"entity_type":"post","breadcrumbs":[{"name":"a","url":"/"},3]})",
       "breadcrumbs[1] must be a table, got int"},
      {R"({"entity_type":"post","faq_items":[{}]})",
       "faq_items[0]: FAQItem.__new__() missing 2 required positional arguments: 'question' and "
       "'answer'"},
      {R"({"entity_type":"post","same_as":"x"})",
       "Can't extract `str` to `Vec` (while processing 'same_as')"},
      {R"({"entity_type":"post","same_as":true})",
       "'bool' object cannot be converted to 'Sequence' (while processing 'same_as')"},
      {R"({"entity_type":"post","same_as":["a",null]})",
       "'NoneType' object cannot be converted to 'str' (while processing 'same_as')"},
  };
  for (const LineRow& row : rows) {
    auto read = entity_from_form(testing::parse(row.line));
    EXPECT_EQ(read ? "" : read.error().message(), row.error) << row.line;
  }
}

TEST(OverridesFromForm, ReadsEveryFieldAndNamesTheFirstProblem) {
  const std::string everything = R"({
      "meta_title": "M", "meta_description": "D", "canonical_url": "https://example.com/c",
      "canonical_path": "/p", "robots": {"index": false, "max_snippet": 5}, "og_title": "O",
      "og_description": "OD", "og_image": "/o.png", "twitter_card": "summary",
      "twitter_title": "TT", "twitter_description": "TD", "twitter_image": {"url": "/t.png"},
      "schema_jsonld": {"@type": "Thing"}, "omit_schema": false, "skip_title_template": true,
      "twitter_creator": "@c", "og_audio": "/a.mp3", "og_video": "/v.mp4"})";
  const SEOOverrides o = value_of(overrides_from_form(testing::parse(everything)));
  EXPECT_EQ(o.robots->serialize(), "noindex,follow,max-snippet:5");
  EXPECT_EQ(o.og_image->url, "/o.png");
  EXPECT_EQ(o.twitter_image->url, "/t.png");
  EXPECT_EQ(to_json_compact(*o.schema_jsonld), R"({"@type":"Thing"})");
  EXPECT_TRUE(o.skip_title_template);
  EXPECT_EQ(o.og_video, "/v.mp4");

  const std::vector<LineRow> rows = {
      {R"({"robots":"x"})", "robots must be a table, got str"},
      {R"({"robots":{"index":1}})",
       "robots: 'int' object cannot be converted to 'bool' (while processing 'index')"},
      {R"({"robots":{"max_snippet":2147483648}})",
       "robots: out of range integral type conversion attempted (while processing 'max_snippet')"},
      {R"({"omit_schema":null})",
       "'NoneType' object cannot be converted to 'bool' (while processing 'omit_schema')"},
      {R"({"og_image":3})", "og_image must be a table or a URL, got int"},
      {R"({"meta_titel":"x"})",
       "SEOOverrides.__new__() got an unexpected keyword argument 'meta_titel'"},
  };
  for (const LineRow& row : rows) {
    auto read = overrides_from_form(testing::parse(row.line));
    EXPECT_EQ(read ? "" : read.error().message(), row.error) << row.line;
  }
}

TEST(CheckManifestLine, BuildsWithTheSiteAndChecksCanonicalSelfThroughIt) {
  SEOConfig config = site();
  config.url_policy.trailing_slash = TrailingSlash::Always;
  const CompiledContract contract = compiled(R"({"canonical":"self","title":{"max_length":10}})");
  const std::string line =
      R"({"route":"/blog/hello?utm_source=x","entity":{"entity_type":"post","title":"Hello"},)"
      R"("overrides":{"meta_title":"A title longer than ten"}})";
  const CheckedLine checked =
      value_of(check_manifest_line(contract, config, HeapCopy(line).view()));
  EXPECT_EQ(checked.route, "/blog/hello?utm_source=x");
  EXPECT_EQ(checked.result.constraints_checked, 2U);
  ASSERT_EQ(checked.result.violations.size(), 1U);
  EXPECT_EQ(checked.result.violations[0].field, "title.max_length");
  EXPECT_EQ(checked.result.violations[0].url, "https://example.com/blog/hello/");

  auto bad =
      check_manifest_line(contract, config, R"({"route":"","entity":{"entity_type":"post"}})");
  ASSERT_FALSE(bad);
  EXPECT_TRUE(bad.error().message().starts_with("cannot build the payload of \"\": invalid URL: "))
      << bad.error().message();
}

TEST(SnapshotManifestLine, HoldsTheRouteTheHashAndTheHashedText) {
  const SEOConfig config = site();
  const std::string line = R"({"route":"/a\"b","entity":{"entity_type":"page","title":"A"}})";
  const SnapshotLine snap = value_of(snapshot_manifest_line(config, line));
  SEOEntity entity;
  entity.entity_type = EntityType::Page;
  entity.title = "A";
  const SEOPayload payload = value_of(build_seo_payload(entity, "/a\"b", config));
  EXPECT_EQ(snap.route, "/a\"b");
  EXPECT_EQ(snap.hash, value_of(hash_payload(payload)));
  EXPECT_EQ(snap.text, R"({"route":"/a\"b","hash":")" + snap.hash + R"(","payload":)" +
                           testing::compact_json(payload) + "}");
  EXPECT_EQ(testing::parse(snap.text)["payload"], payload.to_dict());
}

TEST(CheckTally, CountsRoutesConstraintsSeveritiesAndNotCheckedOnce) {
  CheckTally tally;
  CheckResult page;
  page.constraints_checked = 3;
  page.violations.resize(2);
  page.violations[0].severity = ContractSeverity::Warning;
  page.not_checked = {{"/a", "sitemap.required", "defaults", "unknown"},
                      {"/a", "hreflang.required", "defaults", "unknown"}};
  tally.add(page);
  page.not_checked[0].route = "/b";
  page.not_checked.pop_back();
  tally.add(page);
  EXPECT_EQ(tally.routes, 2U);
  EXPECT_EQ(tally.constraints, 6U);
  EXPECT_EQ(tally.violations, (std::array<std::size_t, 3>{2, 2, 0}));
  EXPECT_EQ(tally.not_checked,
            (std::vector<NotCheckedCount>{{"sitemap.required", "defaults", "unknown", 2},
                                          {"hreflang.required", "defaults", "unknown", 1}}));
}

TEST(ExplanationText, NamesEachLayerWhyItAppliesAndEachConstraintsSource) {
  const CompiledContract contract =
      compiled(R"({"indexable":true})",
               R"([{"match":"/blog/*","severity":"Warning","expect":{"title":{"max_length":60}}}])",
               R"({"/blog/hello":{"canonical":"self"}})");
  EXPECT_EQ(explanation_text(explain(contract, "/blog/hello?x=1")),
            "/blog/hello\n"
            "  defaults                 every route                error\n"
            "  rules[0] /blog/*         pattern \"/blog/*\" matches  warning\n"
            "  exceptions[/blog/hello]  this exact route           error\n"
            "constraints\n"
            "  indexable         true    defaults\n"
            "  canonical         \"self\"  exceptions[/blog/hello]\n"
            "  title.max_length  60      rules[0] /blog/* (warning)");
  EXPECT_EQ(explanation_text(explain(compiled("{}"), "/")),
            "/\n  defaults  every route  error\nconstraints\n  (none)");
}

}  // namespace
}  // namespace zoret
