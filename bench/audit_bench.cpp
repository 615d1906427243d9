// Times the site audit rules in the core: the page rules on a typical page's
// facts (a blog post as zoret renders it, read back with its URL, status and
// hreflang alternates), its summary, and the site rules over 10^5 summaries with
// a sitemap of the same size. Both should be small next to parsing the HTML.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "zoret/audit/audit.hpp"
#include "zoret/builder.hpp"
#include "zoret/check/page_facts.hpp"

#include "bench_site.hpp"

namespace {

using namespace zoret;

constexpr std::string_view kRoute = "/blog/deterministic-metadata";

using bench::site_config;

PageFacts blog_facts(const SEOConfig& config) {
  SEOEntity entity;
  entity.entity_type = EntityType::Post;
  entity.slug = "deterministic-metadata";
  entity.title = "Deterministic SEO metadata for Python web apps";
  entity.excerpt =
      "How resolving every head tag from one payload keeps previews, caches and snapshot tests "
      "in step.";
  entity.featured_image = SEOImage{"https://example.com/media/pipeline.jpg", 1600, 900,
                                   "Diagram of the metadata pipeline"};
  entity.published_at = "2026-03-14T09:30:00Z";
  entity.updated_at = "2026-03-15T10:00:00Z";
  entity.author_name = "Ada Example";
  auto payload = build_seo_payload(entity, kRoute, config, nullptr);
  PageFacts facts = facts_from_payload(payload ? *payload : SEOPayload{}, kRoute);
  facts.url = "https://example.com" + std::string(kRoute);
  facts.status = 200;
  facts.hreflang = std::vector<HreflangAlternate>{
      {"en", "https://example.com/blog/deterministic-metadata"},
      {"de", "https://example.com/de/blog/deterministic-metadata"},
      {"x-default", "https://example.com/blog/deterministic-metadata"}};
  return facts;
}

void BM_AuditPage(benchmark::State& state) {
  const SEOConfig config = site_config();
  const PageFacts facts = blog_facts(config);
  const AuditRules rules;
  for (auto _ : state) {
    auto found = audit_page(facts, rules, &config);
    benchmark::DoNotOptimize(found);
  }
  state.counters["findings"] = static_cast<double>(audit_page(facts, rules, &config).size());
}
BENCHMARK(BM_AuditPage);

void BM_PageSummary(benchmark::State& state) {
  const PageFacts facts = blog_facts(site_config());
  for (auto _ : state) {
    auto summary = page_summary(facts);
    benchmark::DoNotOptimize(summary);
  }
}
BENCHMARK(BM_PageSummary);

// A site of `n` pages in 50 sections, each page in English and German linking
// both ways (one in 50 without its return link), one in 20 noindex, one in 100
// a 404, one in 10 canonical to its section's index, titles shared by pairs in
// one section, and a sitemap of every page (one in 200 disallowed).
struct Site {
  std::vector<PageSummary> summaries;
  std::vector<SitemapUrl> sitemap;
};

Site generated_site(std::size_t n) {
  Site site;
  site.summaries.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string section = "/s" + std::to_string(i % 50);
    const bool german = i % 2 == 1;
    const std::string stem = section + "/post-" + std::to_string(i / 2) + "-about-something";
    const std::string route = (german ? "/de" : "") + stem;
    const std::string url = "https://example.com" + route;
    PageFacts facts;
    facts.route = route;
    facts.url = url;
    facts.status = i % 100 == 7 ? 404 : 200;
    facts.title = i % 50 == 3 ? "Shared title of section " + section
                              : "Post " + std::to_string(i) + " about something in " + section;
    facts.description = "A description of post " + std::to_string(i) + ", long enough to be real.";
    facts.canonical = i % 10 == 0 ? "https://example.com" + section + "/" : url;
    if (i % 20 == 0) facts.robots = {"noindex"};
    facts.hreflang = std::vector<HreflangAlternate>{{"en", "https://example.com" + stem}};
    if (i % 50 != 11) facts.hreflang->push_back({"de", "https://example.com/de" + stem});
    site.summaries.push_back(page_summary(facts));
    site.sitemap.push_back({url, i % 200 == 0});
  }
  std::shuffle(site.summaries.begin(), site.summaries.end(), std::mt19937(15));
  return site;
}

void BM_AuditSite(benchmark::State& state) {
  const Site site = generated_site(static_cast<std::size_t>(state.range(0)));
  const SEOConfig config = site_config();
  const AuditRules rules;
  std::size_t findings = 0;
  for (auto _ : state) {
    auto found = audit_site(site.summaries, rules, &config, site.sitemap);
    findings = found.size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["findings"] = static_cast<double>(findings);
  state.counters["pages/s"] = benchmark::Counter(
      static_cast<double>(state.range(0)) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AuditSite)->Arg(1'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
