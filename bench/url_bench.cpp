// Times parse_url: a typical page URL, then every WPT input that has no base
// (failures included, since rejected input costs time too). Also counts heap
// allocations per parse through a replaced global operator new.

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

}  // namespace

int main() {
  const std::vector<std::string> typical = {"https://example.com/blog/post?id=7"};
  time_inputs(typical, 10000);
  const Timing t = time_inputs(typical, 2000000);
  std::printf("typical URL   %8.1f ns/URL  %.2f allocations/URL\n", t.ns_per_url,
              t.allocations_per_url);

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
