#include "zoret/url/policy.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zoret {
namespace {

URLPolicy with_lowercase() {
  URLPolicy p;
  p.lowercase_paths = true;
  return p;
}

URLPolicy with_slash(TrailingSlash rule, bool collapse = true) {
  URLPolicy p;
  p.trailing_slash = rule;
  p.collapse_duplicate_slashes = collapse;
  return p;
}

TEST(NormalizePath, StepsInOrder) {
  struct Row {
    const char* input;
    URLPolicy policy;
    const char* expected;
  };
  const URLPolicy plain;
  const URLPolicy always = with_slash(TrailingSlash::Always);
  const URLPolicy lower = with_lowercase();
  const std::vector<Row> rows = {
      {"", plain, "/"}, {"   ", plain, "/"}, {"blog/Hello", plain, "/blog/Hello"},
      {"\t/a\n", plain, "/a"}, {"\u3000/a\u00a0", plain, "/a"}, {"/a b", plain, "/a b"},
      {"//blog///post//", plain, "/blog/post"}, {"/", plain, "/"}, {"/a/../b", plain, "/a/../b"},
      {"/Blog/Post/", lower, "/blog/post"}, {"/\u00c4BC", lower, "/\u00e4bc"},
      {"/\u039f\u0394\u039f\u03a3", lower, "/\u03bf\u03b4\u03bf\u03c2"},
      {"/a?B=1", lower, "/a?b=1"}, {"/a", always, "/a/"}, {"/a/", always, "/a/"},
      {"/", always, "/"}, {"", always, "/"}, {"a//", always, "/a/"},
      {"/a?b=1", always, "/a?b=1/"},
      {"/a//", with_slash(TrailingSlash::Preserve, false), "/a//"},
      {"a", with_slash(TrailingSlash::Preserve), "/a"},
      {"/a//", with_slash(TrailingSlash::Never, false), "/a"},
      {"//a//b", with_slash(TrailingSlash::Never, false), "//a//b"},
      {"///", with_slash(TrailingSlash::Never, false), "/"},
      {"///", with_slash(TrailingSlash::Preserve, false), "///"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(normalize_path(row.input, row.policy), row.expected) << '"' << row.input << '"';
  }
}

TEST(TrailingSlashFromStr, ExactLowerCaseTextsOnly) {
  EXPECT_EQ(trailing_slash_from_str("always"), TrailingSlash::Always);
  EXPECT_EQ(trailing_slash_from_str("never"), TrailingSlash::Never);
  EXPECT_EQ(trailing_slash_from_str("preserve"), TrailingSlash::Preserve);
  for (const char* text : {"Always", "Never", "NEVER", " never", "never ", ""}) {
    EXPECT_FALSE(trailing_slash_from_str(text)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace zoret
