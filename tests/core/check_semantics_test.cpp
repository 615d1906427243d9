#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "check_support.hpp"
#include "zoret/builder.hpp"
#include "zoret/check/check.hpp"

namespace zoret {
namespace {

using testing::compiled;
using testing::good_page;
using testing::parse;
using testing::value_of;

struct SemanticsRow {
  const char* defaults;
  std::function<void(PageFacts&)> page;
  std::vector<std::string> failed;  // fields of the violations, in order
  std::size_t checked;
  std::vector<std::string> not_checked = {};
};

void run(const std::vector<SemanticsRow>& rows) {
  for (const SemanticsRow& row : rows) {
    PageFacts page = good_page();
    if (row.page) row.page(page);
    const CheckResult result = value_of(check(compiled(row.defaults), page));
    std::vector<std::string> failed;
    for (const Violation& v : result.violations) failed.push_back(v.field);
    std::vector<std::string> skipped;
    for (const NotChecked& n : result.not_checked) skipped.push_back(n.field);
    EXPECT_EQ(failed, row.failed) << row.defaults;
    EXPECT_EQ(result.constraints_checked, row.checked) << row.defaults;
    EXPECT_EQ(skipped, row.not_checked) << row.defaults;
  }
}

auto status(std::uint16_t code) {
  return [code](PageFacts& p) { p.status = code; };
}
auto jsonld(const std::vector<const char*>& scripts) {
  return [scripts](PageFacts& p) {
    p.jsonld.clear();
    for (const char* s : scripts) p.jsonld.push_back(parse(s));
  };
}
auto robots(const std::vector<std::string>& pieces) {
  return [pieces](PageFacts& p) { p.robots = pieces; };
}
auto title(const std::optional<std::string>& text) {
  return [text](PageFacts& p) { p.title = text; };
}

TEST(CheckSemantics, PageExistence) {
  run({
      {R"({"required":true})", nullptr, {}, 0, {"required"}},
      {R"({"required":true})", status(200), {}, 1},
      {R"({"required":true})", status(404), {"required"}, 1},
      {R"({"required":true})", status(301), {"required"}, 1},
      {R"({"forbidden":true})", nullptr, {}, 0, {"forbidden"}},
      {R"({"forbidden":true})", status(410), {}, 1},
      {R"({"forbidden":true})", status(308), {}, 1},
      {R"({"forbidden":true})", status(200), {"forbidden"}, 1},
      {R"({"forbidden":true})", status(500), {"forbidden"}, 1},
      {R"({"required":false,"forbidden":false})", status(500), {}, 0},
  });
}

TEST(CheckSemantics, JsonLdNodeCounts) {
  constexpr const char* kArticle = R"({"@type":"Article","author":{"@type":"Person"}})";
  run({
      {R"({"min_items":1,"max_items":1})", nullptr, {}, 2},
      {R"({"min_items":2})", nullptr, {"min_items"}, 1},
      {R"({"max_items":0})", nullptr, {"max_items"}, 1},
      {R"({"min_items":2,"max_items":2})", jsonld({R"([{"@type":"A"},{"@type":"B"}])"}), {}, 2},
      {R"({"min_items":2,"max_items":2})", jsonld({kArticle, R"({"x":1})"}), {}, 2},
      // @graph members are nodes; the container only when it has a type.
      {R"({"min_items":3,"max_items":3})", jsonld({R"({"@graph":[{},{},[{}]]})"}), {}, 2},
      {R"({"min_items":4,"max_items":4})", jsonld({R"({"@type":"G","@graph":[{},{},{}]})"}), {},
       2},
      {R"({"min_items":1,"max_items":1})", jsonld({R"({"@graph":{"@type":"A"}})"}), {}, 2},
      {R"({"max_items":0})", jsonld({R"(["x",1,null,[[]]])"}), {}, 1},
      {R"({"min_items":1})", jsonld({}), {"min_items"}, 1},
  });
}

// The walk is bounded like the parser's nesting, so a value built elsewhere
// cannot exhaust the stack; nodes below the bound are not counted.
TEST(CheckSemantics, JsonLdNodesBelowTheNestingBoundAreNotCounted) {
  const CompiledContract contract = compiled(R"({"min_items":1,"schema":{"types":["A"]}})");
  for (const auto& [depth, found] : {std::pair{100, true}, std::pair{20000, false}}) {
    Json value = Json::object({{"@type", "A"}});
    for (int i = 0; i < depth; ++i) value = Json::array({std::move(value)});
    PageFacts page = good_page();
    page.jsonld.clear();
    page.jsonld.push_back(std::move(value));  // not through a list, which would copy
    const CheckResult result = value_of(check(contract, page));
    EXPECT_EQ(result.violations.empty(), found) << depth;
  }
}

TEST(CheckSemantics, Indexable) {
  run({
      {R"({"indexable":true})", nullptr, {}, 1},
      {R"({"indexable":true})", robots({}), {}, 1},
      {R"({"indexable":true})", robots({"max-snippet:0", "nofollow"}), {}, 1},
      {R"({"indexable":true})", robots({"index", "NoIndex"}), {"indexable"}, 1},
      {R"({"indexable":true})", robots({"none"}), {"indexable"}, 1},
      {R"({"indexable":false})", nullptr, {"indexable"}, 1},
      {R"({"indexable":false})", robots({}), {"indexable"}, 1},
      {R"({"indexable":false})", robots({"NONE"}), {}, 1},
      {R"({"indexable":false})", robots({"follow", "noindex"}), {}, 1},
  });
}

TEST(CheckSemantics, Canonical) {
  auto canonical = [](const std::optional<std::string>& url) {
    return [url](PageFacts& p) { p.canonical = url; };
  };
  run({
      {R"({"canonical":"self"})", nullptr, {}, 1},
      {R"({"canonical":"self"})", canonical("https://example.com/blog/hello/"), {"canonical"}, 1},
      {R"({"canonical":"self"})", canonical("http://example.com/blog/hello"), {"canonical"}, 1},
      {R"({"canonical":"self"})", canonical(std::nullopt), {"canonical"}, 1},
      {R"({"canonical":"absent"})", nullptr, {"canonical"}, 1},
      {R"({"canonical":"absent"})", canonical(std::nullopt), {}, 1},
      {R"({"canonical":"https://example.com/"})", canonical("https://example.com/"), {}, 1},
      {R"({"canonical":"https://example.com/"})", nullptr, {"canonical"}, 1},
      {R"({"canonical":"/blog/hello"})", nullptr, {}, 1},
      {R"({"canonical":"/"})", nullptr, {"canonical"}, 1},
  });
}

TEST(CheckSemantics, CanonicalSelfThroughTheSiteConfiguration) {
  const CompiledContract contract = compiled(R"({"canonical":"self"})");
  SEOConfig config = testing::site();
  config.canonical_host = "www.example.org";
  config.url_policy.trailing_slash = TrailingSlash::Always;
  const CheckContext context{&config};
  PageFacts page = good_page();
  page.route = "/blog/hello?utm_source=x";
  page.canonical = "https://www.example.org/blog/hello/";
  CheckResult result = value_of(check(contract, page, context));
  EXPECT_TRUE(result.violations.empty());

  page.canonical = "https://example.com/blog/hello";
  result = value_of(check(contract, page, context));
  ASSERT_EQ(result.violations.size(), 1U);
  EXPECT_EQ(result.violations[0].expected, "https://www.example.org/blog/hello/");
  EXPECT_EQ(result.violations[0].url, "https://www.example.org/blog/hello/");

  config.public_base_url = "not a url";
  auto failed = check(contract, page, context);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().kind(), ErrorKind::InvalidConfiguration);
}

TEST(CheckSemantics, Schema) {
  auto invalid_scripts = [](PageFacts& p) {
    p.jsonld.clear();
    p.jsonld_errors = {"expected value at line 1 column 1"};
  };
  run({
      {R"({"schema":{"required":true}})", nullptr, {}, 1},
      {R"({"schema":{"required":true}})", jsonld({}), {"schema.required"}, 1},
      {R"({"schema":{"required":true}})", invalid_scripts, {"schema.required"}, 1},
      {R"({"schema":{"required":false,"types":["Product"]}})", jsonld({}), {}, 1},
      {R"({"schema":{"types":["Article"]}})", nullptr, {}, 1},
      {R"({"schema":{"types":["Product","Article","Person"]}})", nullptr,
       {"schema.types", "schema.types"}, 1},
      {R"({"schema":{"types":["NewsArticle"]}})",
       jsonld({R"({"@type":["Article","NewsArticle"]})"}), {}, 1},
      {R"({"schema":{"types":["B"]}})", jsonld({R"({"@graph":[{"@type":"A"},{"@type":"B"}]})"}),
       {}, 1},
      {R"({"schema":{"types":["B"]}})", jsonld({R"({"@type":"A"})", R"([[{"@type":"B"}]])"}), {},
       1},
      {R"({"schema":{"types":["Article"]}})", jsonld({R"({"@type":"schema:Article"})"}),
       {"schema.types"}, 1},
      {R"({"schema":{"types":["Article"]}})", jsonld({R"({"@type":7})"}), {"schema.types"}, 1},
  });
}

TEST(CheckSemantics, SocialSitemapAndHreflang) {
  auto property = [](const std::string& name, const std::string& content) {
    return [name, content](PageFacts& p) {
      for (MetaProperty& m : p.properties) {
        if (m.property == name) m.content = content;
      }
    };
  };
  auto drop = [](std::string name) {
    return [name](PageFacts& p) {
      std::erase_if(p.properties, [&](const MetaProperty& m) { return m.property == name; });
    };
  };
  run({
      {R"({"open_graph":{"required":true}})", nullptr, {}, 1},
      {R"({"open_graph":{"required":true}})", drop("og:image"), {"open_graph.required"}, 1},
      {R"({"open_graph":{"required":true}})", property("og:url", " \t"), {"open_graph.required"},
       1},
      {R"({"open_graph":{"required":false}})", drop("og:type"), {}, 0},
      {R"({"twitter":{"required":true}})", nullptr, {}, 1},
      {R"({"twitter":{"required":true}})", drop("twitter:card"), {"twitter.required"}, 1},
      {R"({"twitter":{"required":true}})", property("twitter:card", ""), {"twitter.required"}, 1},
      {R"({"sitemap":{"required":true}})", nullptr, {}, 0, {"sitemap.required"}},
      {R"({"sitemap":{"required":true}})", [](PageFacts& p) { p.in_sitemap = true; }, {}, 1},
      {R"({"sitemap":{"required":true}})", [](PageFacts& p) { p.in_sitemap = false; },
       {"sitemap.required"}, 1},
      {R"({"hreflang":{"required":true}})", nullptr, {}, 0, {"hreflang.required"}},
      {R"({"hreflang":{"required":true}})",
       [](PageFacts& p) { p.hreflang = std::vector<HreflangAlternate>{}; }, {"hreflang.required"},
       1},
      {R"({"hreflang":{"required":true}})",
       [](PageFacts& p) { p.hreflang = {{{"en", "https://example.com/en"}}}; }, {}, 1},
  });
}

TEST(CheckSemantics, TextConstraints) {
  const std::optional<std::string> absent;
  run({
      {R"({"title":{"required":true}})", nullptr, {}, 1},
      {R"({"title":{"required":true}})", title(absent), {"title.required"}, 1},
      {R"({"title":{"required":true}})", title(" \xe2\x80\x83\n"), {"title.required"}, 1},
      {R"({"title":{"forbidden":true}})", nullptr, {"title.forbidden"}, 1},
      {R"({"title":{"forbidden":true}})", title(absent), {}, 1},
      {R"({"title":{"forbidden":true}})", title(" "), {}, 1},
      {R"({"title":{"equals":"Hello"}})", nullptr, {}, 1},
      {R"({"title":{"equals":"hello"}})", nullptr, {"title.equals"}, 1},
      // Value constraints leave an absent text to `required`.
      {R"({"title":{"equals":"x","contains":"x","matches":"x","one_of":["x"],"min_length":9}})",
       title(absent), {}, 5},
      {R"({"title":{"not_equals":"Hello"}})", nullptr, {"title.not_equals"}, 1},
      {R"({"title":{"not_equals":"Bye"}})", nullptr, {}, 1},
      {R"({"title":{"contains":"ell"}})", nullptr, {}, 1},
      {R"({"title":{"contains":"ELL"}})", nullptr, {"title.contains"}, 1},
      {R"({"title":{"matches":"^H.l+o$"}})", nullptr, {}, 1},
      {R"({"title":{"matches":"ell"}})", nullptr, {}, 1},
      {R"({"title":{"matches":"^ell"}})", nullptr, {"title.matches"}, 1},
      {R"({"title":{"matches":"(?i)^HELLO$"}})", nullptr, {}, 1},
      {R"({"title":{"matches":"^.{5}$"}})", title("h\xc3\xa9llo"), {}, 1},
      {R"({"title":{"one_of":["Bye","Hello"]}})", nullptr, {}, 1},
      {R"({"title":{"one_of":["Bye"]}})", nullptr, {"title.one_of"}, 1},
      {R"({"title":{"min_length":5,"max_length":5}})", title("h\xc3\xa9llo"), {}, 2},
      {R"({"title":{"min_length":6,"max_length":4}})", title("h\xc3\xa9llo"),
       {"title.min_length", "title.max_length"}, 2},
      {R"({"title":{"max_length":0}})", title(""), {}, 1},
      {R"({"description":{"max_length":5,"contains":"greeting"}})", nullptr,
       {"description.max_length"}, 2},
      {R"({"description":{"required":true}})",
       [](PageFacts& p) { p.description.reset(); }, {"description.required"}, 1},
  });
}

// Fields that mean nothing where they stand are never checked (the lint
// reports them).
TEST(CheckSemantics, MeaninglessFieldsAreNotChecked) {
  run({
      {R"({"equals":"x","matches":"(","max_length":1,"title":{"indexable":false,)"
       R"("min_items":9,"title":{"required":true}}})",
       nullptr, {}, 0},
  });
}

TEST(CheckSemantics, ViolationRecordsAndOrder) {
  const CompiledContract contract = compiled(
      R"({"indexable":true,"description":{"required":true},"title":{"max_length":60}})",
      R"([{"match":"/blog/*","severity":"Warning","expect":{"title":{"max_length":4},)"
      R"("schema":{"types":["Product","Event"]}}}])");
  PageFacts page = good_page();
  page.robots = {"NoIndex", "nofollow"};
  page.description.reset();
  page.url = "http://localhost:8000/blog/hello";
  const CheckResult result = value_of(check(contract, page));
  const std::optional<std::string> url = "http://localhost:8000/blog/hello";
  using enum ContractSeverity;
  const std::vector<Violation> expected = {
      {"/blog/hello", url, "indexable", "indexable (no noindex or none directive)",
       "NoIndex, nofollow", Error, "defaults",
       "The page is not indexable: its robots directives include \"NoIndex\".", std::nullopt},
      {"/blog/hello", url, "schema.types", "Product", "Article", Warning, "rules[0] /blog/*",
       "The JSON-LD has no node of type \"Product\".", std::nullopt},
      {"/blog/hello", url, "schema.types", "Event", "Article", Warning, "rules[0] /blog/*",
       "The JSON-LD has no node of type \"Event\".", std::nullopt},
      {"/blog/hello", url, "title.max_length", "at most 4 characters", "5 characters", Warning,
       "rules[0] /blog/*", "The title has 5 characters, more than the maximum of 4.",
       std::nullopt},
      {"/blog/hello", url, "description.required", "present and not blank", "absent", Error,
       "defaults", "The description is missing.", std::nullopt},
  };
  EXPECT_EQ(result.violations, expected);
  EXPECT_EQ(result.constraints_checked, 4U);

  // Without an address of its own, a page is reported at its public URL.
  page.url.reset();
  EXPECT_EQ(value_of(check(contract, page)).violations[0].url, "https://example.com/blog/hello");
}

TEST(Check, RefusesRoutesThatAreNotPaths) {
  const CompiledContract contract = compiled("{}");
  for (const char* route : {"", "blog/x", "https://example.com/x", "?x=1"}) {
    PageFacts page = good_page();
    page.route = route;
    auto result = check(contract, page);
    ASSERT_FALSE(result) << route;
    EXPECT_EQ(result.error().kind(), ErrorKind::InvalidUrl);
  }
}

// Checking a payload directly must give what checking its facts gives.
TEST(CheckPayload, AgreesWithCheckingItsFacts) {
  const CompiledContract contract = compiled(
      R"({"indexable":true,"canonical":"self","min_items":1,"max_items":1,)"
      R"("schema":{"required":true,"types":["Article","BreadcrumbList"]},)"
      R"("open_graph":{"required":true},"twitter":{"required":true},)"
      R"("sitemap":{"required":true},"title":{"required":true,"max_length":20},)"
      R"("description":{"required":true,"matches":"^[A-Z]"}})");
  SEOEntity entity;
  entity.entity_type = EntityType::Post;
  entity.slug = "hello";
  entity.title = "A post about deterministic metadata";
  entity.excerpt = "how the payload is built";
  entity.breadcrumbs = std::vector<Breadcrumb>{{"Home", "/"}, {"Post", "/blog/hello"}};
  const SEOPayload built =
      value_of(build_seo_payload(entity, "/blog/hello", testing::site(), nullptr));

  std::vector<std::function<void(SEOPayload&)>> variants = {
      [](SEOPayload&) {},
      [](SEOPayload& p) { p.robots = " noindex , , NOFOLLOW"; },
      [](SEOPayload& p) { p.description.clear(); },
      [](SEOPayload& p) { p.canonical.clear(); },
      [](SEOPayload& p) { p.schema_jsonld.reset(); },
      [](SEOPayload& p) { p.og.image.reset(); p.og.type = " "; },
      [](SEOPayload& p) { p.twitter.card.clear(); p.title = "\t"; },
      [](SEOPayload& p) { p = testing::minimal_payload("none"); },
  };
  for (std::size_t i = 0; i < variants.size(); ++i) {
    SEOPayload payload = built;
    variants[i](payload);
    for (const char* route : {"/blog/hello", "/blog/hello?x=1#top"}) {
      const CheckResult direct = value_of(check_payload(contract, payload, route));
      const CheckResult via_facts =
          value_of(check(contract, facts_from_payload(payload, route)));
      EXPECT_EQ(direct, via_facts) << "variant " << i << " " << route;
      EXPECT_FALSE(direct.not_checked.empty());  // sitemap membership is unknown
    }
  }
}

}  // namespace
}  // namespace zoret
