// Times the sitemap writer on one million pages (a route and a lastmod each),
// written into a scratch directory uncompressed and as gzip, and the URL
// resolution each entry pays on its own.
//
//     zoret_site_bench [--benchmark_filter=...] [--zoret_dir=/path/on/the/target/disk]

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "zoret/site/sitemap.hpp"

namespace {

using namespace zoret;

constexpr std::size_t kEntries = 1'000'000;
std::string g_parent = "/tmp";

site::UrlResolver site_resolver() {
  SEOConfig config;
  config.canonical_host = "www.example.com";
  config.public_base_url = "https://www.example.com";
  return site::UrlResolver(std::move(config));
}

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = g_parent + "/zoret-site-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    if (DIR* dir = ::opendir(path_.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ::unlink((path_ + "/" + name).c_str());
      }
      ::closedir(dir);
    }
    ::rmdir(path_.c_str());
  }
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// "/products/<n>/details" with a date: about 90 bytes of XML per page.
void write_million(benchmark::State& state, bool gzip) {
  site::SitemapOptions options;
  options.gzip = gzip;
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ScratchDir dir;
    state.ResumeTiming();
    // The writer owns its resolver (move-only); one base-URL parse per million URLs.
    auto writer = site::SitemapWriter::create(dir.path(), site_resolver(), options);
    if (!writer) {
      state.SkipWithError(writer.error().display().c_str());
      return;
    }
    std::string route = "/products/";
    site::SitemapEntry entry;
    entry.lastmod = "2024-05-06";
    for (std::size_t n = 0; n < kEntries; ++n) {
      route.resize(10);
      route += std::to_string(n);
      route += "/details";
      entry.route = route;
      if (auto added = writer->add(entry); !added) {
        state.SkipWithError(added.error().display().c_str());
        return;
      }
    }
    auto report = writer->finish();
    if (!report) {
      state.SkipWithError(report.error().display().c_str());
      return;
    }
    state.PauseTiming();
    bytes = 0;
    for (const std::string& path : report->written) {
      if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fseek(file, 0, SEEK_END);
        bytes += static_cast<std::uint64_t>(std::ftell(file));
        std::fclose(file);
      }
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kEntries));
  state.counters["bytes_on_disk"] = static_cast<double>(bytes);
}

void BM_SitemapMillionPlain(benchmark::State& state) { write_million(state, false); }
void BM_SitemapMillionGzip(benchmark::State& state) { write_million(state, true); }

// The part of each entry's cost that is the public-URL resolution.
void BM_SitemapUrlResolution(benchmark::State& state) {
  const site::UrlResolver resolver = site_resolver();
  std::string route = "/products/";
  std::size_t n = 0;
  for (auto _ : state) {
    route.resize(10);
    route += std::to_string(n++ % kEntries);
    route += "/details";
    auto url = resolver.resolve(route);
    benchmark::DoNotOptimize(url);
  }
}

BENCHMARK(BM_SitemapMillionPlain)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SitemapMillionGzip)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SitemapUrlResolution);

}  // namespace

int main(int argc, char** argv) {
  constexpr std::string_view kDirFlag = "--zoret_dir=";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag.substr(0, kDirFlag.size()) == kDirFlag) {
      g_parent = std::string(flag.substr(kDirFlag.size()));
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
