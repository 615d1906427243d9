#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "audit_support.hpp"

namespace zoret {
namespace {

using testing::example_rules;

using Edit = std::function<void(PageFacts&)>;

/// A page of https://example.com that no rule reports on its own: a title and a
/// description of its own, a canonical to itself.
PageFacts page(const std::string& route, const Edit& edit = nullptr) {
  PageFacts facts = testing::audit_page_facts(route);
  facts.title = "Title of " + route;
  facts.description = "About " + route;
  if (edit) edit(facts);
  return facts;
}

/// The same page read from a directory: no URL, no status.
PageFacts file(const std::string& route, const Edit& edit = nullptr) {
  return page(route, [&](PageFacts& p) {
    p.url.reset();
    p.status.reset();
    if (edit) edit(p);
  });
}

std::vector<PageSummary> summaries(const std::vector<PageFacts>& pages) {
  std::vector<PageSummary> out;
  for (const PageFacts& p : pages) out.push_back(page_summary(p));
  return out;
}

/// "route ZORET2xx field" per finding.
std::vector<std::string> site_codes(const std::vector<PageFacts>& pages,
                                    std::optional<std::vector<SitemapUrl>> sitemap = std::nullopt,
                                    const AuditRules& rules = example_rules()) {
  const std::vector<PageSummary> all = summaries(pages);
  std::optional<std::span<const SitemapUrl>> urls;
  if (sitemap) urls = *sitemap;
  std::vector<std::string> out;
  for (const Violation& v : audit_site(all, rules, nullptr, urls)) {
    out.push_back(v.route + " " + v.rule_id.value_or("?") + " " + v.field);
  }
  return out;
}

Edit canonical(std::string href) {
  return [href](PageFacts& p) { p.canonical = href; };
}

Edit status(std::uint16_t code) {
  return [code](PageFacts& p) { p.status = code; };
}

void noindex(PageFacts& p) { p.robots = {"noindex"}; }

Edit both(Edit first, Edit second) {
  return [first, second](PageFacts& p) {
    first(p);
    second(p);
  };
}

using Codes = std::vector<std::string>;

struct SiteRow {
  std::vector<PageFacts> pages;
  Codes found;
};

void run(const std::vector<SiteRow>& rows, const AuditRules& rules = example_rules()) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(site_codes(rows[i].pages, std::nullopt, rules), rows[i].found) << "row " << i;
  }
}

TEST(AuditSiteRules, CanonicalTargets) {
  const Edit to_b = canonical("https://example.com/b");
  const Edit moved = [](PageFacts& p) {
    p.status = 301;
    p.redirect_url = "https://example.com/c";
  };
  run({
      {{page("/a", to_b), page("/b")}, {}},
      {{page("/a", canonical("/b")), page("/b")}, {}},
      {{page("/a", canonical("https://example.com/c")), page("/b")}, {"/a ZORET209 canonical"}},
      {{page("/a", to_b), page("/b", status(404))}, {"/a ZORET209 canonical"}},
      {{page("/a", to_b), page("/b", moved)}, {"/a ZORET210 canonical"}},
      {{page("/a", to_b), page("/b", noindex)}, {"/a ZORET211 canonical"}},
      // Another host is the page rule's finding; a page canonical to itself, or one
      // without its own head, names no target.
      {{page("/a", canonical("https://other.example/b"))}, {}},
      {{page("/a", noindex)}, {}},
      {{page("/a", both(status(404), canonical("https://example.com/gone")))}, {}},
  });
  // Switched off: nothing, whatever the others find.
  AuditRules rules = example_rules();
  rules.enabled[static_cast<std::size_t>(AuditRule::CanonicalTargetMissing)] = false;
  run({{{page("/a", canonical("https://example.com/c"))}, {}}}, rules);
}

TEST(AuditSiteRules, CanonicalTargetsAcrossRedirectsAndHosts) {
  // /old was fetched following its redirect to /new.
  auto followed = [](PageFacts& p) { p.final_url = "https://example.com/new"; };
  EXPECT_EQ(site_codes({page("/a", canonical("https://example.com/new")), page("/old", followed)}),
            Codes{});
  EXPECT_EQ(site_codes({page("/a", canonical("https://example.com/old")), page("/old", followed)}),
            Codes{"/a ZORET210 canonical"});
  // Read on a staging host, canonical URLs on the site's host.
  auto staging = [](const std::string& route, const Edit& edit = nullptr) {
    return page(route, [&](PageFacts& p) {
      p.url = "http://127.0.0.1:8000" + route;
      if (edit) edit(p);
    });
  };
  const std::vector<PageFacts> pages = {
      staging("/a", canonical("https://example.com/b")),
      staging("/b", [](PageFacts& p) { p.robots = {"noindex"}; }),
  };
  EXPECT_EQ(site_codes(pages), Codes{"/a ZORET211 canonical"});
  // Without the site's host, a URL on another host than the page's names no page.
  AuditRules unknown_site;
  EXPECT_EQ(site_codes(pages, std::nullopt, unknown_site),
            (Codes{"/a ZORET209 canonical", "/b ZORET209 canonical"}));
  // Pages read from files are found by route, on the site's host or any host
  // when it is not known.
  const std::vector<PageFacts> files = {file("/a", canonical("https://example.com/b")),
                                        file("/b", [](PageFacts& p) { p.robots = {"none"}; })};
  EXPECT_EQ(site_codes(files), Codes{"/a ZORET211 canonical"});
  EXPECT_EQ(site_codes(files, std::nullopt, unknown_site), Codes{"/a ZORET211 canonical"});
  EXPECT_EQ(site_codes({file("/a", canonical("https://example.com/b?x=1")), file("/b")}),
            Codes{"/a ZORET209 canonical"});
}

TEST(AuditSiteRules, Sitemap) {
  auto listed = [](const std::vector<std::string>& urls, bool disallowed = false) {
    std::vector<SitemapUrl> out;
    for (const std::string& url : urls) out.push_back({url, disallowed});
    return std::optional<std::vector<SitemapUrl>>(out);
  };
  EXPECT_EQ(site_codes({page("/a"), page("/b", noindex)}, listed({"https://example.com/a"})),
            Codes{});
  EXPECT_EQ(site_codes({page("/a"), page("/b", noindex)}, listed({"https://example.com/b"})),
            Codes{"/b ZORET212 sitemap"});
  // Without a sitemap, the facts' own flag counts; unknown membership does not.
  const Edit flagged = [](PageFacts& p) { p.in_sitemap = true; };
  EXPECT_EQ(site_codes({page("/b", both(noindex, flagged))}), Codes{"/b ZORET212 sitemap"});
  EXPECT_EQ(site_codes({page("/b", noindex)}), Codes{});
  for (int code : {204, 301, 404, 410, 500}) {
    EXPECT_EQ(site_codes({page("/a", status(static_cast<std::uint16_t>(code)))},
                         listed({"https://example.com/a"})),
              Codes{"/a ZORET213 sitemap"})
        << code;
  }
  // A listed address that redirects, and the final address it leads to.
  const Edit followed = [](PageFacts& p) { p.final_url = "https://example.com/new"; };
  EXPECT_EQ(site_codes({page("/old", followed)}, listed({"https://example.com/old"})),
            Codes{"/old ZORET213 sitemap"});
  EXPECT_EQ(site_codes({page("/old", followed)}, listed({"https://example.com/new"})), Codes{});
  EXPECT_EQ(site_codes({page("/old", both(followed, noindex))}, listed({"https://example.com/new"})),
            Codes{"/old ZORET212 sitemap"});
  // Disallowed: once per address, on its page or, without one, on its path.
  EXPECT_EQ(site_codes({page("/a")}, listed({"https://example.com/a", "https://EXAMPLE.com/a",
                                             "https://example.com/x?q=1"},
                                            true)),
            (Codes{"/a ZORET214 sitemap", "/x ZORET214 sitemap"}));
  EXPECT_EQ(site_codes({page("/a")}, std::vector<SitemapUrl>{{"https://example.com/a", false},
                                                             {"https://example.com/a", true}}),
            Codes{"/a ZORET214 sitemap"});
  // An empty sitemap lists nothing.
  EXPECT_EQ(site_codes({page("/b", noindex)}, listed({})), Codes{});
}

TEST(AuditSiteRules, HreflangReturnLinks) {
  auto alternates = [](std::vector<HreflangAlternate> list) {
    return [list](PageFacts& p) { p.hreflang = list; };
  };
  const HreflangAlternate en{"en", "https://example.com/en"};
  const HreflangAlternate de{"de", "https://example.com/de"};
  const PageFacts both_ways = page("/en", alternates({en, de}));
  const Codes no_return = {"/en ZORET216 hreflang"};
  run({
      {{both_ways, page("/de", alternates({de, en}))}, {}},
      {{both_ways, page("/de", alternates({de}))}, no_return},
      {{both_ways, page("/de", alternates({}))}, no_return},
      // Not audited, not known, not a page of its own: nothing to compare.
      {{both_ways}, {}},
      {{both_ways, page("/de")}, {}},
      {{both_ways, page("/de", both(status(404), alternates({de})))}, {}},
      // Relative hrefs, files without URLs.
      {{file("/en", alternates({{"en", "/en"}, {"de", "/de"}})),
        file("/de", alternates({{"de", "/de"}, {"en", "https://example.com/en"}}))},
       {}},
      {{file("/en", alternates({{"en", "/en"}, {"de", "de"}})),
        file("/de", alternates({{"de", "/de"}, {"en", "/fr"}}))},
       no_return},
  });
}

TEST(AuditSiteRules, Duplicates) {
  auto titled = [](std::optional<std::string> title) -> Edit {
    return [title](PageFacts& p) { p.title = title; };
  };
  const Edit home = titled("Home");
  const Edit described = [](PageFacts& p) { p.description = "Same words."; };
  run({
      {{page("/a", home), page("/b", titled(" Home\n")), page("/c", titled("home"))},
       {"/a ZORET217 title", "/b ZORET217 title"}},
      // Blank titles are no duplicates; noindex pages, pages canonical elsewhere and
      // error pages take no part.
      {{page("/a", titled(" ")), page("/b", titled(""))}, {}},
      {{page("/a", home), page("/b", both(home, noindex))}, {}},
      {{page("/a", home), page("/b", both(home, canonical("https://example.com/a")))}, {}},
      {{page("/a", home), page("/b", both(home, status(500)))}, {}},
      {{file("/a", described), file("/b", described)},
       {"/a ZORET218 description", "/b ZORET218 description"}},
  });
}

TEST(AuditSiteRules, DuplicateMessagesNameTheOthers) {
  std::vector<PageFacts> pages;
  for (int i = 0; i < 8; ++i) {
    pages.push_back(file("/p" + std::to_string(i), [](PageFacts& p) { p.title = "Same"; }));
  }
  const std::vector<PageSummary> all = summaries(pages);
  const std::vector<Violation> found = audit_site(all, example_rules());
  ASSERT_EQ(found.size(), 8U);
  EXPECT_EQ(found[0].route, "/p0");
  EXPECT_EQ(found[0].message,
            "The title \"Same\" is also the title of 7 other pages: /p1, /p2, /p3, /p4, /p5 and 2 "
            "more.");
  EXPECT_EQ(found[0].actual, "Same");
  EXPECT_EQ(found[0].source, "duplicate-title");
  const std::vector<Violation> pair = audit_site(summaries({pages[3], pages[5]}), example_rules());
  ASSERT_EQ(pair.size(), 2U);
  EXPECT_EQ(pair[1].message, "The title \"Same\" is also the title of 1 other page: /p3.");
}

TEST(AuditSiteRules, OrderDoesNotDependOnArrival) {
  std::vector<PageFacts> pages;
  for (int i = 0; i < 40; ++i) {
    const std::string route = "/p" + std::to_string(i % 13) + "/" + std::to_string(i);
    pages.push_back(page(route, [&](PageFacts& p) {
      p.title = "Title " + std::to_string(i % 7);
      if (i % 3 == 0) p.canonical = "https://example.com/p" + std::to_string(i % 5);
      if (i % 4 == 0) p.robots = {"noindex"};
      if (i % 5 == 0) p.status = 404;
      p.hreflang = std::vector<HreflangAlternate>{
          {"en", p.url.value()}, {"de", "https://example.com/p1/" + std::to_string(i % 9)}};
    }));
  }
  std::vector<SitemapUrl> sitemap;
  for (int i = 0; i < 40; i += 3) {
    sitemap.push_back(
        {"https://example.com/p" + std::to_string(i % 13) + "/" + std::to_string(i), i % 2 == 0});
  }
  std::vector<PageSummary> all = summaries(pages);
  const std::vector<Violation> first = audit_site(all, example_rules(), nullptr, sitemap);
  EXPECT_GT(first.size(), 40U);
  EXPECT_TRUE(std::is_sorted(first.begin(), first.end(), audit_order));
  std::mt19937 random(15);
  for (int round = 0; round < 20; ++round) {
    std::shuffle(all.begin(), all.end(), random);
    std::shuffle(sitemap.begin(), sitemap.end(), random);
    EXPECT_EQ(audit_site(all, example_rules(), nullptr, sitemap), first) << round;
  }
  // The same page handed in twice counts once.
  all.push_back(all.front());
  EXPECT_EQ(audit_site(all, example_rules(), nullptr, sitemap), first);
}

TEST(PageSummary, KeepsWhatTheSiteRulesNeed) {
  PageFacts facts = page("/blog/a", [](PageFacts& p) {
    p.title = "  Spaced \u3000";
    p.description = " \t";
    p.canonical = "../b#part";
    p.robots = {"max-snippet:5", "NONE"};
    p.hreflang = std::vector<HreflangAlternate>{
        {"de", "//example.com/de/a"}, {"fr", "http://[bad"}, {"en", "HTTPS://Example.com/blog/a"}};
    p.final_url = "https://example.com/blog/a";
    p.in_sitemap = false;
  });
  const PageSummary s = page_summary(facts);
  EXPECT_EQ(s.route, "/blog/a");
  EXPECT_EQ(s.url, "https://example.com/blog/a");
  EXPECT_EQ(s.final_url, std::nullopt);
  EXPECT_EQ(s.canonical, "/b");
  EXPECT_TRUE(s.noindex);
  EXPECT_EQ(s.title, "Spaced");
  EXPECT_EQ(s.description, std::nullopt);
  EXPECT_EQ(s.hreflang, (std::vector<SummaryAlternate>{{"de", "https://example.com/de/a"},
                                                       {"en", "https://example.com/blog/a"}}));
  EXPECT_EQ(s.in_sitemap, false);
  EXPECT_TRUE(s.has_own_head());
  facts.final_url = "https://example.com/elsewhere";
  EXPECT_FALSE(page_summary(facts).has_own_head());
  EXPECT_TRUE(page_summary(facts).redirected());
}

}  // namespace
}  // namespace zoret
