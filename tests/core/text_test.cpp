#include "zoret/text.hpp"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "test_support.hpp"
#include "zoret/unicode.hpp"

namespace zoret {
namespace {

using testing::repeat;

TEST(HtmlToText, StripsTagsAndCollapsesWhiteSpace) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {"", ""}, {"<p>Hello <b>World</b></p>", "Hello World"},
      {"<p>Hello</p><p>World</p>", "Hello World"},
      {"Hello<br>World", "Hello World"}, {"A &amp; B", "A &amp; B"}, {"a > b", "a > b"},
      {"<script>code</script>Text", "Text"}, {"<SCRIPT>code</SCRIPT>Text", "Text"},
      {"<script type=\"text/javascript\">x</script>Text", "x Text"},
      {"<style>p { color: red }</style>", ""}, {"Hello <b", "Hello"}, {"a < bc > d", "a d"},
      {"<!-- a comment -->Text", "Text"}, {"<script>if (a < b) {}</script>after", ""},
      {"</script>Text", "Text"},
      {"one\u00A0two\tthree\r\nfour\u00A0 \u2003five", "one two three four five"},
      // Only the matching end tag, in its exact form, ends skipping.
      {"<noscript>x</noscript>y", "y"}, {"<NoScript>x</NOSCRIPT>y", "y"},
      {"<style>a</script>b</style>c", "c"}, {"<script>x</ script>y", ""},
      {"<script>a<b>c</script>d", "d"}, {"a<script>b", "a"}, {"a<script", "a"}, {"x<", "x"},
      {"a<>b", "a b"}, {"<script/>x", "x"},
      // Full lower-casing, not case folding: long s stays itself and the dotted capital I
      // becomes two characters, so neither names a skipped element.
      {"<\u017Fcript>x</script>y", "x y"}, {"<SCR\u0130PT>x</SCR\u0130PT>y", "x y"},
      {"\u3000 a \u2028\u2029 b \u0085", "a b"}, {"\u200Ba\uFEFF", "\u200Ba\uFEFF"},
      {"a\u00A0<br>\u00A0b", "a b"}, {"\u00E9<p>\u00FC\U0001F600", "\u00E9 \u00FC\U0001F600"},
  };
  for (const auto& [html, text] : rows) EXPECT_EQ(html_to_text(html), text) << html;
}

// Prose moves eight bytes at a time and tag ends are searched near the tag
// first: runs, tabs, non-ASCII and tags must be honoured at any byte offset.
TEST(HtmlToText, SameResultAtEveryOffset) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {"  ", " "}, {"\t", " "}, {" \n ", " "}, {"\u00A0", " "}, {"\u00E9", "\u00E9"},
      {"\x01", "\x01"},
      {"<br>", " "}, {"<a href=\"/a/long/enough/path\">", " "}, {"<script>x = 1;</script>", ""},
  };
  const std::string prose = "The quick brown fox jumps over the lazy dog";
  for (const auto& [piece, piece_text] : rows) {
    for (std::size_t at = 0; at <= prose.size(); ++at) {
      // Where the piece sits next to a space, the two collapse into one.
      const std::string html = prose.substr(0, at) + std::string(piece) + prose.substr(at);
      std::string text = prose.substr(0, at) + std::string(piece_text) + prose.substr(at);
      for (std::size_t run; (run = text.find("  ")) != std::string::npos;) text.erase(run, 1);
      if (!text.empty() && text.front() == ' ') text.erase(0, 1);
      if (!text.empty() && text.back() == ' ') text.pop_back();
      EXPECT_EQ(html_to_text(html), text) << piece << " at " << at;
    }
  }
}

TEST(BuildDescriptionSnippet, CutsAtCodePointsAndIsAbsentWithoutText) {
  const std::tuple<std::string, std::size_t, std::optional<std::string>> rows[] = {
      // HTML, maximum length, snippet
      {repeat("a", 160), 160, repeat("a", 160)}, {repeat("a", 161), 160, repeat("a", 157) + "..."},
      {"<p>" + repeat("a", 160) + "</p>  ", 160, repeat("a", 160)},
      {repeat("\u00E9", 160), 160, repeat("\u00E9", 160)},
      {repeat("\u00E9", 161), 160, repeat("\u00E9", 157) + "..."},
      {repeat("\U0001F600", 161), 160, repeat("\U0001F600", 157) + "..."},
      {"abc", 2, "..."}, {"ab", 2, "ab"}, {"a", 0, "..."}, {"abcd", 3, "..."}, {"abcde", 4, "a..."},
      {"abcd  efgh", 8, "abcd ..."}, {"a\u00A0\u00A0b", 3, "a b"},
      {"", 160, std::nullopt}, {"<p></p>", 160, std::nullopt},
      {"<style>x</style>", 160, std::nullopt}, {" \u00A0\n", 160, std::nullopt},
      {"<br> <hr>", 160, std::nullopt},
  };
  for (const auto& [html, max_chars, snippet] : rows) {
    EXPECT_EQ(build_description_snippet(html, max_chars), snippet) << html << " / " << max_chars;
  }
  // Every text form is accepted.
  const std::string html = "<p>Hi</p>";
  EXPECT_EQ(build_description_snippet(std::nullopt, 160), std::nullopt);
  EXPECT_EQ(build_description_snippet(std::optional<std::string>(html), 10), "Hi");
  EXPECT_EQ(build_description_snippet(std::string_view(html), 10), "Hi");
  EXPECT_EQ(build_description_snippet("<p>Hi</p>", kDescriptionSnippetMaxChars), "Hi");
}

// The snippet may stop the tag walk early; it must equal cutting the whole text.
// Bodies of wide characters, white-space runs, tags and skipped elements put the
// stop, and the text's length, on both sides of every limit.
TEST(BuildDescriptionSnippet, EarlyStopAgreesWithCuttingTheWholeText) {
  const std::string_view units[] = {"a", "bc ", "\u00E9", "\U0001F600", " ", "\n\t \u3000",
                                    "<b>", "</b>", "<script>x</script>", "<!-- c -->"};
  std::mt19937 random(17);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string html;
    const std::size_t pieces = random() % 120;
    for (std::size_t i = 0; i < pieces; ++i) html += units[random() % std::size(units)];
    if (random() % 4 == 0) html += "<unclosed";
    const std::string text = html_to_text(html);
    for (const std::size_t max_chars : {0, 1, 2, 3, 4, 7, 12, 30, 160}) {
      std::optional<std::string> expected;
      if (!text.empty()) {
        expected = text;
        if (code_point_offset(text, max_chars) != text.size()) {
          expected->resize(max_chars < 3 ? 0 : code_point_offset(text, max_chars - 3));
          *expected += "...";
        }
      }
      ASSERT_EQ(build_description_snippet(html, max_chars), expected) << html << " / " << max_chars;
    }
  }
}

}  // namespace
}  // namespace zoret
