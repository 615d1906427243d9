// Times the core on the pages bench/run.py builds through Python: a blog post, a
// product and an FAQ page, then the outputs of the blog payload and the text
// extraction of a long body. The inputs are spelled out in both files alike;
// `--zoret_dump=blog|product|faq` prints that payload's to_json_pretty text so
// that run.py can check the two sides time the same work.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/builder.hpp"
#include "zoret/payload_output.hpp"
#include "zoret/render.hpp"
#include "zoret/text.hpp"
#include "zoret/url/public_url.hpp"

#include "bench_site.hpp"

namespace {

using namespace zoret;

// run.py repeats the same paragraph the same number of times.
constexpr std::string_view kBlogParagraph =
    "<h2>Why determinism matters</h2>\n"
    "<p>Search engines and social previews read the <em>same</em> head on every request, "
    "so the metadata of a page should only change when its content does. "
    "<a href=\"/blog/caching\">Caching</a> and snapshot tests rely on it, and an "
    "<strong>ETag</strong> computed from the payload lets a CDN skip whole renders.</p>\n"
    "<p>The builder resolves each field from overrides, entity data and site defaults, "
    "in that order, and never consults the clock.</p>\n";
constexpr std::size_t kBlogBodyBytes = 5 * 1024;

// Mostly ASCII prose with tags, one skipped script and a few non-ASCII letters.
constexpr std::string_view kLongParagraph =
    "<section class=\"chapter\"><h3>Notes</h3>\n"
    "<p>The quick brown fox jumps over the lazy dog while the caf\xc3\xa9 on the corner "
    "opens its shutters. Nothing here is remarkable, which is <b>exactly</b> the point "
    "of a benchmark corpus: plain text, ordinary markup and the odd na\xc3\xafve word.</p>\n"
    "<script>var seen = (window.seen || 0) + 1;</script>\n"
    "<ul><li>First item</li><li>Second item</li><li>Third item</li></ul></section>\n";
constexpr std::size_t kLongBodyBytes = 200 * 1024;

std::string repeat_to(std::string_view unit, std::size_t at_least) {
  std::string out;
  out.reserve(at_least + unit.size());
  while (out.size() < at_least) out.append(unit);
  return out;
}

using bench::site_config;

SEOEntity blog_entity() {
  SEOEntity entity;
  entity.entity_type = EntityType::Post;
  entity.slug = "deterministic-metadata";
  entity.title = "Deterministic SEO metadata for Python web apps";
  entity.excerpt =
      "How resolving every head tag from one payload keeps previews, caches and "
      "snapshot tests in step.";
  entity.body_html = repeat_to(kBlogParagraph, kBlogBodyBytes);
  entity.featured_image = SEOImage{"https://example.com/media/pipeline.jpg", 1600, 900,
                                   "Diagram of the metadata pipeline"};
  entity.published_at = "2026-03-14T09:30:00Z";
  entity.author_name = "Ada Example";
  entity.breadcrumbs = std::vector<Breadcrumb>{
      {"Home", "/"},
      {"Blog", "/blog"},
      {"Deterministic SEO metadata", "/blog/deterministic-metadata"},
  };
  return entity;
}
constexpr std::string_view kBlogRoute = "/blog/deterministic-metadata";

SEOEntity product_entity() {
  SEOEntity entity;
  entity.entity_type = EntityType::Product;
  entity.slug = "trail-running-shoe";
  entity.title = "Trail Running Shoe";
  entity.excerpt = "A light trail shoe with a grippy outsole and a roomy toe box.";
  entity.featured_image =
      SEOImage{"https://example.com/media/shoe.jpg", 1200, 1200, "Trail Running Shoe, side view"};
  entity.sku = "TRS-2041";
  entity.price = "129.90";
  entity.price_currency = "EUR";
  entity.availability = "InStock";
  return entity;
}
constexpr std::string_view kProductRoute = "/shop/trail-running-shoe";

SEOEntity faq_entity() {
  SEOEntity entity;
  entity.entity_type = EntityType::Faq;
  entity.slug = "shipping";
  entity.title = "Shipping questions";
  entity.excerpt = "Answers to the questions we hear most about shipping and returns.";
  std::vector<FAQItem> items;
  for (int i = 1; i <= 20; ++i) {
    const std::string n = std::to_string(i);
    items.push_back({"How does shipping option " + n + " work?",
                     "Option " + n + " ships within " + n +
                         " business days and can be tracked from your account page."});
  }
  entity.faq_items = std::move(items);
  return entity;
}
constexpr std::string_view kFaqRoute = "/help/shipping";

struct Fixtures {
  SEOConfig config = site_config();
  SEOEntity blog = blog_entity();
  SEOEntity product = product_entity();
  SEOEntity faq = faq_entity();
  SEOPayload blog_payload;
  std::string long_body = repeat_to(kLongParagraph, kLongBodyBytes);

  Fixtures() {
    auto built = build_seo_payload(blog, kBlogRoute, config, nullptr);
    if (built) blog_payload = *std::move(built);
  }
};

const Fixtures& fixtures() {
  static const Fixtures kFixtures;
  return kFixtures;
}

void build_page(benchmark::State& state, const SEOEntity& entity, std::string_view route) {
  const SEOConfig& config = fixtures().config;
  for (auto _ : state) {
    auto payload = build_seo_payload(entity, route, config, nullptr);
    if (!payload) {
      state.SkipWithError("build failed");
      break;
    }
    benchmark::DoNotOptimize(payload);
  }
}

void BM_BuildBlog(benchmark::State& state) { build_page(state, fixtures().blog, kBlogRoute); }
void BM_BuildProduct(benchmark::State& state) {
  build_page(state, fixtures().product, kProductRoute);
}
void BM_BuildFaq(benchmark::State& state) { build_page(state, fixtures().faq, kFaqRoute); }

template <class T>
bool failed(const Result<T>& result) {
  return !result;
}
bool failed(const std::string&) { return false; }

template <auto Output>
void payload_output(benchmark::State& state) {
  const SEOPayload& payload = fixtures().blog_payload;
  for (auto _ : state) {
    auto text = Output(payload);
    if (failed(text)) {
      state.SkipWithError("output failed");
      break;
    }
    benchmark::DoNotOptimize(text);
  }
}

// The outputs on their own, each writing the JSON-LD it holds.
using Text = std::string (*)(const SEOPayload&);
using Digest = Result<std::string> (*)(const SEOPayload&);
void BM_RenderHtmlBlog(benchmark::State& state) {
  payload_output<static_cast<Text>(&render_html)>(state);
}
void BM_HashPayloadBlog(benchmark::State& state) {
  payload_output<static_cast<Digest>(&hash_payload)>(state);
}
void BM_EtagPayloadBlog(benchmark::State& state) { payload_output<&etag_payload>(state); }
void BM_ToJsonPrettyBlog(benchmark::State& state) {
  payload_output<static_cast<Text>(&to_json_pretty)>(state);
}

// What one page view costs the core: the build and both outputs a server sends.
void BM_WholeRequestBlog(benchmark::State& state) {
  const Fixtures& f = fixtures();
  for (auto _ : state) {
    auto payload = build_seo_payload(f.blog, kBlogRoute, f.config, nullptr);
    if (!payload) {
      state.SkipWithError("build failed");
      break;
    }
    auto html = render_html(*payload);
    auto etag = etag_payload(*payload);
    benchmark::DoNotOptimize(html);
    benchmark::DoNotOptimize(etag);
  }
}

// A sitemap's work: many routes resolved against one site, with one resolver or
// with the base URL parsed again for every route.
std::vector<std::string> sitemap_routes() {
  std::vector<std::string> routes;
  for (int i = 0; i < 1000; ++i) {
    routes.push_back("/blog/2026/post-" + std::to_string(i) + "/?utm_source=feed&page=2");
  }
  return routes;
}

void BM_Resolve1000RoutesOneResolver(benchmark::State& state) {
  const SEOConfig& config = fixtures().config;
  const std::vector<std::string> routes = sitemap_routes();
  for (auto _ : state) {
    const PublicUrlResolver resolver(config);
    for (const std::string& route : routes) {
      auto url = resolver.resolve(route);
      benchmark::DoNotOptimize(url);
    }
  }
}

void BM_Resolve1000RoutesEachAlone(benchmark::State& state) {
  const SEOConfig& config = fixtures().config;
  const std::vector<std::string> routes = sitemap_routes();
  for (auto _ : state) {
    for (const std::string& route : routes) {
      auto url = normalize_public_url(route, config);
      benchmark::DoNotOptimize(url);
    }
  }
}

// The whole walk over a long body; the snippet above stops once it has its text.
void BM_HtmlToText200K(benchmark::State& state) {
  const std::string& body = fixtures().long_body;
  for (auto _ : state) {
    auto text = html_to_text(body);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
}

void BM_DescriptionSnippet200K(benchmark::State& state) {
  const std::string& body = fixtures().long_body;
  for (auto _ : state) {
    auto snippet = build_description_snippet(body, kDescriptionSnippetMaxChars);
    benchmark::DoNotOptimize(snippet);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
}

BENCHMARK(BM_BuildBlog);
BENCHMARK(BM_BuildProduct);
BENCHMARK(BM_BuildFaq);
BENCHMARK(BM_RenderHtmlBlog);
BENCHMARK(BM_HashPayloadBlog);
BENCHMARK(BM_EtagPayloadBlog);
BENCHMARK(BM_ToJsonPrettyBlog);
BENCHMARK(BM_WholeRequestBlog);
BENCHMARK(BM_Resolve1000RoutesOneResolver);
BENCHMARK(BM_Resolve1000RoutesEachAlone);
BENCHMARK(BM_DescriptionSnippet200K);
BENCHMARK(BM_HtmlToText200K);

/// Prints the named page's payload as indented JSON; false for an unknown name.
bool dump_payload(std::string_view page) {
  const Fixtures& f = fixtures();
  const SEOEntity* entity = page == "blog"      ? &f.blog
                            : page == "product" ? &f.product
                            : page == "faq"     ? &f.faq
                                                : nullptr;
  const std::string_view route = page == "blog" ? kBlogRoute
                                 : page == "product" ? kProductRoute
                                                     : kFaqRoute;
  if (entity == nullptr) return false;
  auto payload = build_seo_payload(*entity, route, f.config, nullptr);
  if (!payload) return false;
  const std::string text = to_json_pretty(*payload);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr std::string_view kDumpFlag = "--zoret_dump=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag.substr(0, kDumpFlag.size()) == kDumpFlag) {
      return dump_payload(flag.substr(kDumpFlag.size())) ? 0 : 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
