// Regular expressions from contracts under hostile patterns and texts. RE2 keeps
// matching linear; these run once on large texts, so a backtracking engine or
// an exhausted cache that fails the search would show as a hang or a wrong
// result. bench/check_bench.cpp measures the time.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "check_support.hpp"
#include "zoret/check/check.hpp"

namespace zoret {
namespace {

using testing::repeat;

struct RegexRow {
  std::string pattern;
  std::string title;
  bool matches;
};

std::string random_ab(std::size_t n) {
  std::mt19937 random(7);
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += random() % 2 == 0 ? 'a' : 'b';
  return out;
}

TEST(CheckRegex, PathologicalPatternsOnLargeTexts) {
  const std::string as = repeat("a", 1 << 20);
  const std::string words = repeat("word ", 200000);
  // Its DFA would need 2^20 states, far over the memory limit.
  const std::string ab = random_ab(1 << 20);
  const std::vector<RegexRow> rows = {
      {"(a+)+$", as + "b", false},
      {"(a+)+$", as, true},
      {"(a|aa)+$", as + "!", false},
      {"^(a|a?)+b", as, false},
      {"(x+x+)+y", repeat("x", 100000), false},
      {R"(^(\\w+\\s?)*$)", words + "!", false},
      {"(a|b)*a(a|b){20}c", ab, false},
      {"(a|b)*a(a|b){20}$", ab + "a" + repeat("b", 20), true},
  };
  for (const RegexRow& row : rows) {
    const CompiledContract contract =
        testing::compiled(R"({"title":{"matches":")" + row.pattern + "\"}}");
    PageFacts page = testing::good_page();
    page.title = row.title;
    const CheckResult result = testing::value_of(check(contract, page));
    EXPECT_EQ(result.violations.empty(), row.matches) << row.pattern;
  }
}

}  // namespace
}  // namespace zoret
