#include "zoret/json/allocator.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "zoret/json.hpp"

namespace zoret {
namespace {

// Parts of every size the thread store keeps and some it does not: arrays of
// 0..40 elements (element buffers of 16 to 640 bytes), names short and long
// (kept inline or on the heap), nested objects.
Json sample(int seed) {
  Json value = Json::object();
  for (int n = 0; n <= 40; ++n) {
    Json items = Json::array();
    for (int i = 0; i < n; ++i) items.push_back(json_int(seed * 100 + i));
    value["list_" + std::to_string(n) + std::string(static_cast<std::size_t>(n % 20), 'x')] =
        std::move(items);
  }
  value["nested"] = {{"name", "value " + std::to_string(seed)}, {"flag", true}, {"none", nullptr}};
  return value;
}

TEST(JsonAllocator, ValuesMadeOnOneThreadAreFreedOnAnother) {
  std::vector<std::string> want;
  for (int seed = 0; seed < 50; ++seed) want.push_back(to_json_compact(sample(seed)));

  for (int round = 0; round < 3; ++round) {
    std::vector<Json> made;
    std::thread maker([&] {
      for (int seed = 0; seed < 50; ++seed) made.push_back(sample(seed));
    });
    maker.join();
    std::size_t kept_by_freer = 0;
    std::thread freer([&] {
      std::vector<Json> taken = std::move(made);
      for (std::size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(to_json_compact(taken[i]), want[i]);
      }
      taken.clear();
      kept_by_freer = detail::json_blocks_kept();
      // Blocks the freeing thread keeps serve its own next values.
      for (int seed = 0; seed < 50; ++seed) {
        EXPECT_EQ(to_json_compact(sample(seed)), want[static_cast<std::size_t>(seed)]);
      }
    });
    freer.join();
    EXPECT_GT(kept_by_freer, 0U);
  }
}

TEST(JsonAllocator, AThreadKeepsABoundedNumberOfBlocks) {
  // On a thread of its own, whose store starts empty.
  std::thread([] {
    EXPECT_EQ(detail::json_blocks_kept(), 0U);
    {
      // Five thousand strings: one 32-byte block each, more than one size keeps.
      std::vector<Json> strings(5000);
      for (auto& s : strings) s = "text";
    }
    EXPECT_EQ(detail::json_blocks_kept(), 1024U);
    // Blocks come back whole: values made again from the store are intact.
    std::vector<Json> again(5000);
    for (auto& s : again) s = "again";
    for (const auto& s : again) EXPECT_EQ(s.get<std::string>(), "again");
    EXPECT_EQ(detail::json_blocks_kept(), 0U);
  }).join();
}

}  // namespace
}  // namespace zoret
