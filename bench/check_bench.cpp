// Times contract checks in the core: one page against a 50-rule contract (the
// goal is at most 1 us per check), the facts of a payload, compiling the
// contract, and the linear-time guarantees on hostile patterns and texts.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/builder.hpp"
#include "zoret/check/check.hpp"
#include "zoret/check/compiled_contract.hpp"
#include "zoret/check/manifest.hpp"
#include "zoret/check/page_facts.hpp"
#include "zoret/check/route_pattern.hpp"
#include "zoret/contract/builder.hpp"

#include "bench_site.hpp"

// Every allocation is counted, so that the benchmarks can report how many a
// check makes (the goal: none on a passing page beyond what the site
// configuration's URL resolution needs).
namespace {
std::atomic<std::size_t> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// GCC takes the replaced pair for a mismatch of new and free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace zoret;

// Runs the loop of `state`, then reports the allocations per iteration.
template <class Body>
void counting_allocations(benchmark::State& state, Body&& body) {
  const std::size_t before = g_allocations.load(std::memory_order_relaxed);
  for (auto _ : state) body();
  const std::size_t after = g_allocations.load(std::memory_order_relaxed);
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(after - before) /
                                                static_cast<double>(state.iterations()));
}

constexpr std::string_view kBlogRoute = "/blog/deterministic-metadata";

using bench::site_config;

// The blog post of core_bench.cpp, without its long body (the checks never
// read the body; the payload's excerpt is the description).
SEOPayload blog_payload(const SEOConfig& config) {
  SEOEntity entity;
  entity.entity_type = EntityType::Post;
  entity.slug = "deterministic-metadata";
  entity.title = "Deterministic SEO metadata for Python web apps";
  entity.excerpt =
      "How resolving every head tag from one payload keeps previews, caches and "
      "snapshot tests in step.";
  entity.featured_image = SEOImage{"https://example.com/media/pipeline.jpg", 1600, 900,
                                   "Diagram of the metadata pipeline"};
  entity.published_at = "2026-03-14T09:30:00Z";
  entity.author_name = "Ada Example";
  entity.breadcrumbs = std::vector<Breadcrumb>{
      {"Home", "/"},
      {"Blog", "/blog"},
      {"Deterministic SEO metadata", "/blog/deterministic-metadata"},
  };
  auto payload = build_seo_payload(entity, kBlogRoute, config, nullptr);
  return payload ? *std::move(payload) : SEOPayload{};
}

SEOExpectation title_rule(std::uint64_t max_length, std::string pattern) {
  return {.title = SEOExpectation{.matches = std::move(pattern), .max_length = max_length}};
}

// 50 rules in the shapes a site states: per-section title and description
// rules with a regular expression or two, schema types, indexability and
// canonicals, a few cross-cutting "**" rules. The blog post matches three of
// them and passes all of its 14 constraints.
SEOContract fifty_rule_contract() {
  SEOContractConfig config{.canonical_host = "example.com"};
  config.defaults = {.indexable = true,
                     .canonical = "self",
                     .open_graph = FieldExpectation{.required = true},
                     .twitter = FieldExpectation{.required = true},
                     .title = SEOExpectation{.required = true, .max_length = 70},
                     .description = SEOExpectation{.required = true}};
  const std::vector<std::pair<std::string, std::string>> sections = {
      {"blog", "Article"},        {"docs", "TechArticle"},
      {"products", "Product"},    {"help", "FAQPage"},
      {"careers", "JobPosting"},  {"events", "Event"},
      {"news", "NewsArticle"},    {"authors", "Person"},
      {"tags", "CollectionPage"}, {"legal", "WebPage"},
      {"guides", "HowTo"},        {"recipes", "Recipe"},
      {"videos", "VideoObject"},  {"podcasts", "PodcastEpisode"},
      {"press", "NewsArticle"},   {"partners", "Organization"},
      {"support", "FAQPage"},     {"community", "DiscussionForumPosting"},
      {"shop", "Product"},        {"courses", "Course"},
  };
  for (const auto& [section, type] : sections) {
    SEOExpectation page = title_rule(70, "^[A-Z0-9]");
    page.schema = SchemaExpectation{.required = true, .types = std::vector<std::string>{type}};
    config.rules.push_back({.match = "/" + section + "/*", .expect = std::move(page)});
    config.rules.push_back(
        {.match = "/" + section + "/**",
         .expect = {.description =
                        SEOExpectation{.matches = "[.!?]$", .min_length = 50, .max_length = 160}},
         .severity = ContractSeverity::Warning});
  }
  for (const char* locale : {"fr", "de", "es", "it"}) {
    config.rules.push_back({.match = std::string("/") + locale + "/**",
                            .expect = {.hreflang = FieldExpectation{.required = true}}});
  }
  config.rules.push_back({.match = "/**/amp", .expect = {.canonical = "absent"}});
  config.rules.push_back({.match = "/search", .expect = {.indexable = false}});
  config.rules.push_back({.match = "/**/print", .expect = {.indexable = false}});
  config.rules.push_back(
      {.match = "/**", .expect = {.title = SEOExpectation{.not_equals = "Untitled"}}});
  config.rules.push_back({.match = "/products/*/reviews", .expect = {.max_items = 5}});
  config.rules.push_back({.match = "/blog/*/comments", .expect = {.indexable = false}});
  config.exceptions["/"] = {
      .schema = SchemaExpectation{.required = true, .types = std::vector<std::string>{"WebSite"}}};
  config.exceptions["/about"] = title_rule(60, "About");
  return build_contract(config);
}

struct Fixtures {
  SEOConfig config = site_config();
  SEOPayload payload = blog_payload(config);
  PageFacts facts = facts_from_payload(payload, kBlogRoute);
  SEOContract contract = fifty_rule_contract();
  CompiledContract compiled = *compile_contract(contract);
};

const Fixtures& fixtures() {
  static const Fixtures kFixtures;
  return kFixtures;
}

template <class Check>
void run_check(benchmark::State& state, Check&& check_once) {
  const auto first = check_once();
  if (!first || first->violations.size() != 0 || first->constraints_checked != 14) {
    state.SkipWithError("the blog post should pass 14 constraints");
    return;
  }
  counting_allocations(state, [&] {
    auto result = check_once();
    benchmark::DoNotOptimize(result);
  });
}

void BM_CheckFacts50Rules(benchmark::State& state) {
  const Fixtures& f = fixtures();
  run_check(state, [&] { return check(f.compiled, f.facts); });
}

void BM_CheckPayload50Rules(benchmark::State& state) {
  const Fixtures& f = fixtures();
  run_check(state, [&] { return check_payload(f.compiled, f.payload, kBlogRoute); });
}

// "self" resolved through the site configuration, as the command line does.
void BM_CheckPayload50RulesSiteConfig(benchmark::State& state) {
  const Fixtures& f = fixtures();
  const CheckContext context{&f.config};
  run_check(state, [&] { return check_payload(f.compiled, f.payload, kBlogRoute, context); });
}

// A page that breaks four constraints: the cost of building violations.
void BM_CheckFailingPage50Rules(benchmark::State& state) {
  const Fixtures& f = fixtures();
  PageFacts facts = f.facts;
  facts.title = "untitled draft that is far too long for any of the title rules in force";
  facts.robots = {"noindex"};
  facts.canonical.reset();
  counting_allocations(state, [&] {
    auto result = check(f.compiled, facts);
    benchmark::DoNotOptimize(result);
  });
}

void BM_FactsFromPayload(benchmark::State& state) {
  const SEOPayload& payload = fixtures().payload;
  counting_allocations(state, [&] {
    PageFacts facts = facts_from_payload(payload, kBlogRoute);
    benchmark::DoNotOptimize(facts);
  });
}

void BM_CompileContract50Rules(benchmark::State& state) {
  const SEOContract& contract = fixtures().contract;
  for (auto _ : state) {
    auto compiled = compile_contract(contract);
    benchmark::DoNotOptimize(compiled);
  }
}

// RE2 on patterns that take a backtracking engine exponential time: the bytes
// per second stay flat as the text grows. RE2 settles "(a+)+$" from the end of
// the text; "(x+x+)+y" makes it scan all of it.
void pathological_regex(benchmark::State& state, const char* pattern, char fill) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const CompiledContract contract = *compile_contract(
      build_contract({.canonical_host = "example.com", .defaults = title_rule(UINT64_MAX, pattern)}));
  PageFacts facts = fixtures().facts;
  facts.title = std::string(size, fill) + "!";
  for (auto _ : state) {
    auto result = check(contract, facts);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_RegexNestedPlusEndAnchored(benchmark::State& state) {
  pathological_regex(state, "(a+)+$", 'a');
}
void BM_RegexNestedPlusScan(benchmark::State& state) {
  pathological_regex(state, "(x+x+)+y", 'x');
}

// The route pattern automaton on "/**/**/.../x" against long routes that end
// in "/x", so that it runs to the end of the route.
void BM_AdversarialRoutePattern(benchmark::State& state) {
  const auto segments = static_cast<std::size_t>(state.range(0));
  const RoutePattern pattern("/**/**/**/**/**/**/**/**/x");
  std::string route;
  for (std::size_t i = 0; i < segments; ++i) route += "/a";
  route += "/x";
  for (auto _ : state) benchmark::DoNotOptimize(pattern.matches(route));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * route.size()));
}

// A manifest line as `zoret check` reads it: a post with an excerpt, an image and
// two breadcrumbs, about 450 bytes.
constexpr std::string_view kManifestLine =
    R"({"route": "/blog/page-7", "entity": {"entity_type": "post", "title": "Page number 7 )"
    R"(of the blog section", "excerpt": "A short description of this page, long enough to )"
    R"(count as one for the checks.", "published_at": "2026-03-14", "author_name": "Ada )"
    R"(Example", "featured_image": {"url": "/media/7.png", "width": 1200, "height": 630, )"
    R"("alt": "An image"}, "breadcrumbs": [{"name": "Home", "url": "/"}, {"name": "Blog", )"
    R"("url": "/blog"}]}})";

void BM_ParseManifestLineJson(benchmark::State& state) {
  counting_allocations(state, [&] {
    auto parsed = parse_json(kManifestLine);
    benchmark::DoNotOptimize(parsed);
  });
}

void BM_ReadManifestLine(benchmark::State& state) {
  counting_allocations(state, [&] {
    auto entry = read_manifest_line(kManifestLine);
    benchmark::DoNotOptimize(entry);
  });
}

void BM_BuildManifestEntry(benchmark::State& state) {
  const Fixtures& f = fixtures();
  const ManifestEntry entry = *read_manifest_line(kManifestLine);
  counting_allocations(state, [&] {
    auto payload = build_seo_payload(entry.entity, entry.route, f.config, nullptr);
    benchmark::DoNotOptimize(payload);
  });
}

// Read, build and check one line: the work of `zoret check` per route.
void BM_CheckManifestLine50Rules(benchmark::State& state) {
  const Fixtures& f = fixtures();
  counting_allocations(state, [&] {
    auto checked = check_manifest_line(f.compiled, f.config, kManifestLine);
    benchmark::DoNotOptimize(checked);
  });
}

BENCHMARK(BM_CheckFacts50Rules);
BENCHMARK(BM_ParseManifestLineJson);
BENCHMARK(BM_ReadManifestLine);
BENCHMARK(BM_BuildManifestEntry);
BENCHMARK(BM_CheckManifestLine50Rules);
BENCHMARK(BM_CheckPayload50Rules);
BENCHMARK(BM_CheckPayload50RulesSiteConfig);
BENCHMARK(BM_CheckFailingPage50Rules);
BENCHMARK(BM_FactsFromPayload);
BENCHMARK(BM_CompileContract50Rules);
BENCHMARK(BM_RegexNestedPlusEndAnchored)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);
BENCHMARK(BM_RegexNestedPlusScan)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);
BENCHMARK(BM_AdversarialRoutePattern)->Arg(16)->Arg(1024)->Arg(65536);

}  // namespace

BENCHMARK_MAIN();
