#include <gtest/gtest.h>

#include "audit_support.hpp"
#include "test_support.hpp"

namespace zoret {
namespace {

using testing::audit_page_facts;
using testing::codes;
using testing::example_rules;
using testing::repeat;

struct PageRow {
  const char* name;
  std::function<void(PageFacts&)> page;
  std::vector<std::string> found;
  std::function<void(AuditRules&)> rules = nullptr;
};

void run(const std::vector<PageRow>& rows) {
  for (const PageRow& row : rows) {
    PageFacts page = audit_page_facts();
    if (row.page) row.page(page);
    AuditRules rules = example_rules();
    if (row.rules) row.rules(rules);
    EXPECT_EQ(codes(audit_page(page, rules)), row.found) << row.name;
  }
}

void set_property(PageFacts& page, const std::string& name, const std::string& content) {
  for (MetaProperty& p : page.properties) {
    if (p.property == name) {
      p.content = content;
      return;
    }
  }
  page.properties.push_back({name, content});
}

std::function<void(PageFacts&)> title(std::optional<std::string> text) {
  return [text](PageFacts& p) { p.title = text; };
}

std::function<void(PageFacts&)> description(std::optional<std::string> text) {
  return [text](PageFacts& p) { p.description = text; };
}

TEST(AuditPageRules, TitleAndDescription) {
  auto title_min = [](AuditRules& r) { r.title_min_length = 3; };
  const std::vector<std::string> too_long = {"ZORET202 title.max_length"};
  run({
      {"good page", nullptr, {}},
      {"no title", title(std::nullopt), {"ZORET201 title"}},
      {"blank title", title(" \t\u3000"), {"ZORET201 title"}},
      {"61 characters", title(repeat("a", 61)), too_long},
      {"60 characters", title(repeat("a", 60)), {}},
      {"60 characters and spaces", title("  " + repeat("a", 60) + "\n"), {}},
      {"61 code points of two bytes", title(repeat("\u00e9", 61)), too_long},
      {"60 code points of two bytes", title(repeat("\u00e9", 60)), {}},
      {"below the minimum", title("Hi"), {"ZORET202 title.min_length"}, title_min},
      {"at the minimum", title("Hi!"), {}, title_min},
      {"a tighter maximum", nullptr, too_long, [](AuditRules& r) { r.title_max_length = 4; }},
      {"no description", description(std::nullopt), {"ZORET203 description"}},
      {"blank description", description(""), {"ZORET203 description"}},
      {"161 characters", description(repeat("d", 161)), {"ZORET204 description.max_length"}},
      {"160 characters", description(repeat("d", 160)), {}},
      {"description minimum",
       nullptr,
       {"ZORET204 description.min_length"},
       [](AuditRules& r) { r.description_min_length = 50; }},
  });
}

TEST(AuditPageRules, Canonical) {
  auto canonical = [](std::optional<std::string> href) {
    return [href](PageFacts& p) { p.canonical = href; };
  };
  auto noindex = [](std::optional<std::string> href) {
    return [href](PageFacts& p) {
      p.canonical = href;
      p.robots = {"NoIndex", "follow"};
    };
  };
  auto staging = [](std::optional<std::string> href) {
    return [href](PageFacts& p) {
      p.url = "http://127.0.0.1:8000/blog/hello";
      p.canonical = href;
      p.robots = {"none"};
      p.properties.clear();
    };
  };
  run({
      {"no canonical", canonical(std::nullopt), {}},
      {"relative", canonical("/blog/hello"), {"ZORET205 canonical"}},
      {"scheme-relative", canonical("//example.com/blog/hello"), {"ZORET205 canonical"}},
      {"other scheme", canonical("ftp://example.com/blog/hello"), {"ZORET205 canonical"}},
      {"empty href", canonical(""), {"ZORET205 canonical"}},
      {"relative, another page", canonical("/blog/"), {"ZORET205 canonical", "ZORET206 og:url"}},
      {"spelt differently, same URL", canonical("HTTPS://EXAMPLE.com:443/blog/./hello#top"), {}},
      {"og:url elsewhere",
       [](PageFacts& p) { set_property(p, "og:url", "https://example.com/"); },
       {"ZORET206 og:url"}},
      {"og:url blank", [](PageFacts& p) { set_property(p, "og:url", " "); }, {}},
      {"og:url without canonical",
       [](PageFacts& p) {
         p.canonical.reset();
         set_property(p, "og:url", "https://example.com/");
       },
       {}},
      {"noindex, canonical to itself", noindex("https://example.com/blog/hello"), {}},
      {"noindex, relative canonical to itself", noindex("hello"), {"ZORET205 canonical"}},
      {"noindex, canonical elsewhere",
       noindex("https://example.com/blog/"),
       {"ZORET206 og:url", "ZORET207 canonical"}},
      {"noindex, canonical with a query",
       noindex("https://example.com/blog/hello?page=2"),
       {"ZORET206 og:url", "ZORET207 canonical"}},
      {"read on staging, canonical on the site", staging("https://example.com/blog/hello"), {}},
      {"read on staging, canonical on staging",
       staging("http://127.0.0.1:8000/blog/hello"),
       {"ZORET208 canonical"}},
      {"read on staging, canonical elsewhere on the site",
       staging("https://example.com/"),
       {"ZORET207 canonical"}},
      {"another host",
       canonical("https://www.example.com/blog/hello"),
       {"ZORET206 og:url", "ZORET208 canonical"}},
      {"another port, site without port",
       canonical("https://example.com:8443/blog/hello"),
       {"ZORET206 og:url"}},
      {"another port, site with port",
       canonical("https://example.com:8443/blog/hello"),
       {"ZORET206 og:url", "ZORET208 canonical"},
       [](AuditRules& r) { r.site_host = "example.com:8080"; }},
      {"another host, site not known",
       canonical("https://www.example.com/blog/hello"),
       {"ZORET206 og:url"},
       [](AuditRules& r) { r.site_host.reset(); }},
  });
}

TEST(AuditPageRules, SiteHostFromConfiguration) {
  PageFacts page = audit_page_facts();
  page.canonical = "https://www.example.com/blog/hello";
  page.properties.clear();
  SEOConfig config = testing::site();
  EXPECT_EQ(codes(audit_page(page, AuditRules{}, &config)),
            std::vector<std::string>{"ZORET208 canonical"});
  // The rules' own host wins over the configuration's.
  AuditRules rules;
  rules.site_host = "www.example.com";
  EXPECT_TRUE(audit_page(page, rules, &config).empty());
  config.canonical_host = "not a host/";
  EXPECT_TRUE(audit_page(page, AuditRules{}, &config).empty());
}

TEST(AuditPageRules, HreflangSelfReference) {
  auto alternates = [](std::vector<HreflangAlternate> list) {
    return [list](PageFacts& p) { p.hreflang = list; };
  };
  run({
      {"not known", nullptr, {}},
      {"none declared", alternates({}), {}},
      {"self and another",
       alternates(
           {{"en", "https://example.com/blog/hello"}, {"de", "https://example.com/de/blog/hello"}}),
       {}},
      {"only others",
       alternates({{"de", "https://example.com/de/blog/hello"}}),
       {"ZORET215 hreflang"}},
      {"self as x-default", alternates({{"x-default", "https://example.com/blog/hello"}}), {}},
      {"self relative", alternates({{"en", "/blog/hello"}}), {}},
      {"self with a fragment", alternates({{"en", "https://example.com/blog/hello#x"}}), {}},
      {"self on another host",
       alternates({{"en", "https://example.org/blog/hello"}}),
       {"ZORET215 hreflang"}},
      {"unparsable", alternates({{"en", "https://exa mple.com/"}}), {"ZORET215 hreflang"}},
  });
}

TEST(AuditPageRules, JsonLdAndImages) {
  run({
      {"two scripts that did not parse",
       [](PageFacts& p) { p.jsonld_errors = {"unexpected end", "invalid literal"}; },
       {"ZORET219 jsonld", "ZORET219 jsonld"}},
      {"relative og:image",
       [](PageFacts& p) { set_property(p, "og:image", "/a.png"); },
       {"ZORET222 og:image"}},
      {"scheme-relative twitter:image",
       [](PageFacts& p) { set_property(p, "twitter:image", "//cdn.example.com/a.png"); },
       {"ZORET222 twitter:image"}},
      {"blank og:image:secure_url",
       [](PageFacts& p) { set_property(p, "og:image:secure_url", ""); },
       {"ZORET222 og:image:secure_url"}},
      {"other properties are not images",
       [](PageFacts& p) { set_property(p, "og:image:alt", "/not/a/url"); },
       {}},
      {"a rich result lacking a required property",
       [](PageFacts& p) { p.jsonld = {testing::parse(R"({"@type":"FAQPage"})")}; },
       {"ZORET220 jsonld[0].mainEntity"}},
  });
}

TEST(AuditPageRules, OnlyPagesWithTheirOwnHead) {
  // A page with a missing title and a relative canonical, answered as `edit` says.
  auto broken = [](std::function<void(PageFacts&)> edit) {
    return [edit](PageFacts& p) {
      p.title.reset();
      p.canonical = "/x";
      edit(p);
    };
  };
  const std::vector<std::string> all = {"ZORET201 title", "ZORET205 canonical", "ZORET206 og:url"};
  run({
      {"404", broken([](PageFacts& p) { p.status = 404; }), {}},
      {"500", broken([](PageFacts& p) { p.status = 500; }), {}},
      {"301", broken([](PageFacts& p) { p.status = 301; }), {}},
      {"redirect without status",
       broken([](PageFacts& p) { p.redirect_url = "https://example.com/"; }),
       {}},
      {"followed to another address",
       broken([](PageFacts& p) { p.final_url = "https://example.com/elsewhere"; }),
       {}},
      {"followed to the same address spelt otherwise",
       broken([](PageFacts& p) { p.final_url = "https://EXAMPLE.com/blog/hello"; }),
       all},
      {"status not known", broken([](PageFacts& p) { p.status.reset(); }), all},
      {"204", broken([](PageFacts& p) { p.status = 204; }), all},
  });
}

TEST(AuditPageRules, SwitchedOffAndReweighted) {
  PageFacts page = audit_page_facts();
  page.title.reset();
  page.description.reset();
  AuditRules rules;
  rules.enabled[static_cast<std::size_t>(AuditRule::TitleMissing)] = false;
  rules.severity[static_cast<std::size_t>(AuditRule::DescriptionMissing)] = ContractSeverity::Info;
  const std::vector<Violation> found = audit_page(page, rules);
  ASSERT_EQ(codes(found), std::vector<std::string>{"ZORET203 description"});
  EXPECT_EQ(found[0].severity, ContractSeverity::Info);
  EXPECT_EQ(found[0].source, "description-missing");
  EXPECT_EQ(found[0].route, "/blog/hello");
  EXPECT_EQ(found[0].url, "https://example.com/blog/hello");
  EXPECT_EQ(found[0].expected, "present and not blank");
  EXPECT_EQ(found[0].actual, "absent");
  EXPECT_EQ(found[0].message, "The page has no meta description.");
}

TEST(AuditPageRules, HostileTextsGiveShortFindings) {
  PageFacts page = audit_page_facts();
  page.title = repeat("\u00e9", 1'000'000);
  page.canonical = "/" + repeat("x", 1'000'000);
  for (const Violation& v : audit_page(page, example_rules())) {
    EXPECT_LT(v.message.size(), 1000U) << v.field;
    EXPECT_LT(v.actual.value_or("").size(), 1000U) << v.field;
  }
}

}  // namespace
}  // namespace zoret
