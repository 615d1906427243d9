#include "zoret/check/route_pattern.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.hpp"

namespace zoret {
namespace {

using testing::HeapCopy;
using testing::repeat;

struct MatchRow {
  std::string pattern;
  std::string path;
  bool matches;
};

TEST(RoutePattern, MatchesTable) {
  const std::vector<MatchRow> rows = {
      // Exact patterns.
      {"/about", "/about", true}, {"/about", "/about/", false}, {"/about", "/About", false},
      {"/", "/", true}, {"", "", true}, {"", "/", false},
      // `*` stays within one segment and may be empty.
      {"/blog/*", "/blog/hello", true}, {"/blog/*", "/blog/", true}, {"/blog/*", "/blog", false},
      {"/blog/*", "/blog/a/b", false}, {"/blog/*/comments", "/blog/x/comments", true},
      {"/blog/*/comments", "/blog/x/y/comments", false}, {"/*.html", "/index.html", true},
      {"/*.html", "/a/index.html", false}, {"/p-*-*", "/p-1-2", true},
      {"/p-*-*", "/p-1-2-3", true}, {"/p-*-*", "/p-1", false}, {"/a*b*c", "/abbbc", true},
      {"/a*b*c", "/a/b/c", false},
      // `**` crosses segments; longer runs of stars are `**` too.
      {"/docs/**", "/docs/a/b/c", true}, {"/docs/**", "/docs/", true},
      {"/docs/**", "/docs", false}, {"/docs/**/intro", "/docs/a/b/intro", true},
      {"/docs/**/intro", "/docs//intro", true}, {"/docs/**/intro", "/docs/intro", false},
      {"/docs/***", "/docs/a/b", true}, {"**", "/anything/at/all", true}, {"/**", "/", true},
      {"**/feed", "/a/b/feed", true}, {"*", "/", false}, {"*/x", "/x", true},
      {"/**/*.pdf", "/files/a/b.pdf", true}, {"/**/*.pdf", "/files/a/b.pdf/x", false},
      {"/**/**/**/x", "/a/b/c/x", true}, {"/**/**/**/x", "/a/b/x", false},
      // Everything else is literal, bytes included.
      {"/a.b", "/axb", false}, {"/[ab]", "/[ab]", true},
      {"/caf\xc3\xa9/*", "/caf\xc3\xa9/menu", true}, {"/caf%C3%A9", "/caf\xc3\xa9", false},
      {"/a?b", "/a?b", true},
  };
  for (const MatchRow& row : rows) {
    const RoutePattern pattern(row.pattern);
    const HeapCopy path(row.path);
    EXPECT_EQ(pattern.matches(path.view()), row.matches)
        << "pattern " << row.pattern << " path " << row.path;
  }
}

TEST(RoutePattern, LongPatternsUseTheWideAutomaton) {
  // 70 and 700 tokens: past one and past the eight inline words.
  for (const std::size_t segments : {10U, 100U}) {
    const std::string pattern = "/**" + repeat("/seg*x", segments) + "/end";
    const std::string hit = "/pre/fix" + repeat("/segAx", segments) + "/end";
    const std::string miss = "/pre/fix" + repeat("/segAx", segments - 1) + "/seg/x/end";
    const RoutePattern compiled(pattern);
    EXPECT_TRUE(compiled.matches(HeapCopy(hit).view())) << segments;
    EXPECT_FALSE(compiled.matches(HeapCopy(miss).view())) << segments;
  }
}

// Patterns that send a backtracking matcher into exponential time. Each runs
// once on a long route; a quadratic or worse matcher would not finish.
TEST(RoutePattern, AdversarialPatternsOnLongRoutes) {
  const std::string many_segments = repeat("/a", 100000);
  const std::string one_segment = "/" + repeat("a", 200000);
  // Prefix and suffix agree with the route in every row, so the automaton runs.
  const std::vector<MatchRow> rows = {
      {"/**/**/**/**/**/**/**/**/**/**/x", many_segments + "/x", true},
      {"/**b**b**b**b**b**b**b**b**/x", many_segments + "/x", false},
      {"/*a*a*a*a*a*a*a*a*a*a*b", one_segment + "b", true},
      {"/*a*a*a*a*a*a*a*a*a*a*b", one_segment + "/b", false},
      {"/**/*a*a*/**/*a*a*/**/b", many_segments + "/b", false},
  };
  for (const MatchRow& row : rows) {
    EXPECT_EQ(RoutePattern(row.pattern).matches(row.path), row.matches) << row.pattern;
  }
}

TEST(RoutePath, DropsQueryAndFragment) {
  const std::pair<const char*, const char*> rows[] = {
      {"/a?x=1", "/a"}, {"/a#top", "/a"}, {"/a#t?x", "/a"}, {"/a?x#t", "/a"},
      {"?x", ""},       {"/a/b", "/a/b"}, {"", ""},
  };
  for (const auto& [route, path] : rows) EXPECT_EQ(route_path(route), path) << route;
}

}  // namespace
}  // namespace zoret
