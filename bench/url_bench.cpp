// Times parse_url: a typical page URL, then every WPT input that has no base
// (failures included, since rejected input costs time too). Also counts heap
// allocations per parse through a replaced global operator new. Built with ada's
// single-file amalgamation (ZORET_WITH_ADA, see `make bench`), it also times
// ada::parse on the same input in alternating rounds and prints the median ratio.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "zoret/url/whatwg.hpp"

#ifdef ZORET_WITH_ADA
#include <algorithm>

#include "ada.h"
#endif

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// GCC pairs the replaced operator new with free() and warns; both sides are ours.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  std::abort();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

volatile std::size_t g_sink = 0;

struct Timing {
  double ns_per_url;
  double allocations_per_url;
};

Timing time_inputs(const std::vector<std::string>& inputs, int rounds) {
  const long allocations_before = g_allocations.load();
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const auto& input : inputs) {
      auto url = zoret::url::parse_url(input);
      g_sink = g_sink + (url ? url->path.size() : 1);
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const double count = static_cast<double>(inputs.size()) * rounds;
  return {std::chrono::duration<double, std::nano>(elapsed).count() / count,
          static_cast<double>(g_allocations.load() - allocations_before) / count};
}

std::vector<std::string> wpt_inputs() {
  std::vector<std::string> inputs;
  std::ifstream file(ZORET_TESTDATA_DIR "/wpt/urltestdata.json");
  if (!file) return inputs;
  for (const auto& entry : nlohmann::json::parse(file)) {
    if (entry.is_object() && (!entry.contains("base") || entry["base"].is_null())) {
      inputs.push_back(entry["input"].get<std::string>());
    }
  }
  return inputs;
}

#ifdef ZORET_WITH_ADA
template <class Parse>
double ns_per_parse(const std::string& input, int count, Parse parse) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) g_sink = g_sink + parse(input);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::nano>(elapsed).count() / count;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

/// Both parsers on the same input, in alternating rounds so that both meet the
/// same machine load; each parse reads the pathname so neither can be skipped.
void compare_with_ada(const std::string& input) {
  auto ours = [](const std::string& s) -> std::size_t {
    auto url = zoret::url::parse_url(s);
    return url ? url->path.size() : 1;
  };
  auto theirs = [](const std::string& s) -> std::size_t {
    auto url = ada::parse<ada::url_aggregator>(s);
    return url ? url->get_pathname().size() : 1;
  };
  ns_per_parse(input, 20000, ours);
  ns_per_parse(input, 20000, theirs);
  std::vector<double> ours_ns, theirs_ns, ratios;
  for (int round = 0; round < 41; ++round) {
    const double a = ns_per_parse(input, 50000, ours);
    const double b = ns_per_parse(input, 50000, theirs);
    ours_ns.push_back(a);
    theirs_ns.push_back(b);
    ratios.push_back(b / a);
  }
  std::printf("ada %s (C++, url_aggregator) %8.1f ns/URL; zoret %.1f ns/URL; ada/zoret %.2fx\n",
              ADA_VERSION, median(theirs_ns), median(ours_ns), median(ratios));
}
#endif

}  // namespace

int main() {
  const std::vector<std::string> typical = {"https://example.com/blog/post?id=7"};
  time_inputs(typical, 10000);
  const Timing t = time_inputs(typical, 2000000);
  std::printf("typical URL   %8.1f ns/URL  %.2f allocations/URL\n", t.ns_per_url,
              t.allocations_per_url);
#ifdef ZORET_WITH_ADA
  compare_with_ada(typical.front());
#endif

  const std::vector<std::string> wpt = wpt_inputs();
  if (wpt.empty()) {
    std::printf("WPT inputs not found; skipped\n");
    return 0;
  }
  time_inputs(wpt, 20);
  const Timing w = time_inputs(wpt, 2000);
  std::printf("WPT no-base   %8.1f ns/URL  %.2f allocations/URL  (%zu inputs)\n", w.ns_per_url,
              w.allocations_per_url, wpt.size());
  return 0;
}
