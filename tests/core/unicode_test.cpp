#include "zoret/unicode.hpp"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zoret {
namespace {

TEST(IsWhiteSpace, FollowsTheUnicodeProperty) {
  const std::vector<char32_t> spaces = {
      0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
      0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
      0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (const char32_t cp : spaces) EXPECT_TRUE(is_white_space(cp)) << std::hex << static_cast<std::uint32_t>(cp);

  // Zero width space, Mongolian vowel separator (White_Space until Unicode 6.3),
  // byte order mark, and neighbours of the ranges above.
  const std::vector<char32_t> others = {0x00,   0x08,   0x0E,   0x1C,   0x1F,     0x21,
                                        'a',    0x84,   0x86,   0x9F,   0x200B,   0x180E,
                                        0xFEFF, 0x202E, 0x2060, 0x3001, 0x110000, 0xFFFFFFFF};
  for (const char32_t cp : others) EXPECT_FALSE(is_white_space(cp)) << std::hex << static_cast<std::uint32_t>(cp);
}

TEST(TrimWhiteSpace, RemovesEveryWhiteSpaceCharacterAtBothEnds) {
  struct Row {
    std::string_view in, out;
  };
  const std::vector<Row> rows = {
      {"", ""},
      {" \t\r\n\v\f", ""},
      {"  a b  ", "a b"},
      {"\u00A0x\u3000", "x"},
      {"\u2028\u0085 x y \u205F\u202F", "x y"},
      {"\u200Bx\uFEFF", "\u200Bx\uFEFF"},
      {"\u00E4", "\u00E4"},
      {" \U0001F600 ", "\U0001F600"},
      {"\u3000", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(trim_white_space(row.in), row.out) << row.in;
}

TEST(ToLowerFull, AppliesTheFullDefaultMapping) {
  struct Row {
    std::string_view in, out;
  };
  const std::vector<Row> rows = {
      {"", ""},
      {"ABC xyz [@]", "abc xyz [@]"},
      {"\u00C4BC", "\u00E4bc"},
      // Final sigma: only at the end of a word.
      {"\u039F\u0394\u039F\u03A3", "\u03BF\u03B4\u03BF\u03C2"},
      {"\u039F\u0394\u039F\u03A3 \u03A3\u0391", "\u03BF\u03B4\u03BF\u03C2 \u03C3\u03B1"},
      {"\u03A3", "\u03C3"},
      // One character becomes two (root locale, not Turkish).
      {"\u0130", "i\u0307"},
      {"SCR\u0130PT", "scri\u0307pt"},
      // Non-ASCII characters may lower-case to ASCII.
      {"\u212A", "k"},
      {"\u1E9E", "\u00DF"},
      {"\u00DF", "\u00DF"},
  };
  for (const Row& row : rows) EXPECT_EQ(to_lower_full(row.in), row.out) << row.in;
}

TEST(ToLowerFull, GrowsBeyondTheFirstGuess) {
  std::string upper, lower;
  for (int i = 0; i < 200; ++i) {
    upper += "\u0130";  // 2 bytes -> 3 bytes
    lower += "i\u0307";
  }
  EXPECT_EQ(to_lower_full(upper), lower);
}

TEST(ToLowerFull, IgnoresTheDefaultLocale) {
  const std::string saved = uloc_getDefault();
  UErrorCode err = U_ZERO_ERROR;
  uloc_setDefault("tr_TR", &err);
  ASSERT_TRUE(U_SUCCESS(err));
  // Turkish would give dotless i for I and drop the dot of the capital.
  const std::string lowered = to_lower_full("I\u0130\u00C4");
  uloc_setDefault(saved.c_str(), &err);
  EXPECT_EQ(lowered, "ii\u0307\u00E4");
}

TEST(CodePoints, CountAndOffsets) {
  const std::string_view s = "a\u00E4\u20AC\U0001F600";  // 1 + 2 + 3 + 4 bytes
  EXPECT_EQ(count_code_points(s), 4u);
  EXPECT_EQ(count_code_points(""), 0u);
  const std::vector<std::size_t> offsets = {0, 1, 3, 6, 10, 10};
  for (std::size_t n = 0; n < offsets.size(); ++n) EXPECT_EQ(code_point_offset(s, n), offsets[n]);

  const std::vector<char32_t> expected = {U'a', 0xE4, 0x20AC, 0x1F600};
  std::size_t pos = 0;
  for (const char32_t cp : expected) EXPECT_EQ(next_code_point(s, pos), cp);
  EXPECT_EQ(pos, s.size());
}

TEST(NextCodePoint, NeverReadsPastATruncatedSequence) {
  // Exact-size heap copy so that AddressSanitizer sees any overread.
  const std::string_view bytes = "\xF0\x9F\x98";
  auto heap = std::make_unique<char[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), heap.get());
  const std::string_view s(heap.get(), bytes.size());
  std::size_t pos = 0;
  std::size_t steps = 0;
  while (pos < s.size()) {
    EXPECT_EQ(next_code_point(s, pos), 0xFFFDu);
    ++steps;
  }
  EXPECT_EQ(steps, 3u);
}

TEST(Utf8Lossy, ReplacesEachMaximalSubpart) {
  struct Row {
    std::string_view in, out;
  };
  const std::vector<Row> rows = {
      {"", ""},
      {"plain", "plain"},
      {"\u00E4\u20AC\U0001F600\uFFFD", "\u00E4\u20AC\U0001F600\uFFFD"},
      {"\x80", "\uFFFD"},
      {"a\xFFz", "a\uFFFDz"},
      // F0 needs 90..BF next, so F0 alone is the subpart; each 80 is another.
      {"\xF0\x80\x80", "\uFFFD\uFFFD\uFFFD"},
      {"\xE2\x82", "\uFFFD"},
      {"\xE2\x82" "A", "\uFFFD" "A"},
      {"\xF1\x80\x80", "\uFFFD"},
      {"\xC0\xAF", "\uFFFD\uFFFD"},
      {"\xC1\xBF", "\uFFFD\uFFFD"},
      {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
      {"\xED\x9F\xBF", "\uD7FF"},
      {"\xF4\x8F\xBF\xBF", "\U0010FFFF"},
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xF5\x80", "\uFFFD\uFFFD"},
      // The Unicode Standard's own example (U+FFFD substitution of maximal subparts).
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       "a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
  };
  for (const Row& row : rows) EXPECT_EQ(utf8_lossy(row.in), row.out) << row.out;
}

TEST(AsciiIequals, FoldsOnlyAsciiLetters) {
  struct Row {
    std::string_view a, b;
    bool equal;
  };
  const std::vector<Row> rows = {
      {"", "", true},
      {"UTM_Source", "utm_source", true},
      {"abc", "abd", false},
      {"a", "ab", false},
      {"[\\]", "{|}", false},  // differ by 0x20 but are not letters
      {"@", "`", false},
      {"\u00C4", "\u00E4", false},
      {"\u00C4", "\u00C4", true},
  };
  for (const Row& row : rows) EXPECT_EQ(ascii_iequals(row.a, row.b), row.equal) << row.a;
}

}  // namespace
}  // namespace zoret
