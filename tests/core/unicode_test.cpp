#include "zoret/unicode.hpp"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "test_support.hpp"

namespace zoret {
namespace {

using Row = std::pair<std::string_view, std::string_view>;

TEST(WhiteSpace, FollowsTheUnicodePropertyAndIsTrimmedAtBothEnds) {
  for (const char32_t cp : std::initializer_list<char32_t>{
           0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680, 0x2000, 0x2001,
           0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028, 0x2029,
           0x202F, 0x205F, 0x3000})
    EXPECT_TRUE(is_white_space(cp)) << std::hex << static_cast<std::uint32_t>(cp);
  // Zero width space, Mongolian vowel separator (White_Space until Unicode 6.3), BOM, neighbours.
  for (const char32_t cp : std::initializer_list<char32_t>{
           0x00, 0x08, 0x0E, 0x1C, 0x1F, 0x21, 0x61, 0x84, 0x86, 0x9F, 0x200B, 0x180E, 0xFEFF,
           0x202E, 0x2060, 0x3001, 0x110000, 0xFFFFFFFF})
    EXPECT_FALSE(is_white_space(cp)) << std::hex << static_cast<std::uint32_t>(cp);
  for (const auto& [in, out] : std::initializer_list<Row>{
           {"", ""}, {" \t\r\n\v\f", ""}, {"  a b  ", "a b"}, {"\u00A0x\u3000", "x"},
           {"\u2028\u0085 x y \u205F\u202F", "x y"}, {"\u200Bx\uFEFF", "\u200Bx\uFEFF"},
           {"\u00E4", "\u00E4"}, {" \U0001F600 ", "\U0001F600"}, {"\u3000", ""}}) {
    EXPECT_EQ(trim_white_space(in), out) << in;
  }
}

TEST(ToLowerFull, AppliesTheFullDefaultMappingWhateverTheDefaultLocale) {
  const std::string upper = testing::repeat("\u0130", 200);  // grows from 2 to 3 bytes each
  const std::string lower = testing::repeat("i\u0307", 200);
  const std::string saved = uloc_getDefault();
  UErrorCode err = U_ZERO_ERROR;
  uloc_setDefault("tr_TR", &err);  // would give dotless i for I and drop the dot of the capital
  ASSERT_TRUE(U_SUCCESS(err));
  for (const auto& [in, out] : std::initializer_list<Row>{
           {"", ""}, {"ABC xyz [@]", "abc xyz [@]"}, {"I\u0130\u00C4", "ii\u0307\u00E4"},
           // Final sigma only at the end of a word.
           {"\u039F\u0394\u039F\u03A3", "\u03BF\u03B4\u03BF\u03C2"}, {"\u03A3", "\u03C3"},
           {"\u039F\u0394\u039F\u03A3 \u03A3\u0391", "\u03BF\u03B4\u03BF\u03C2 \u03C3\u03B1"},
           // One character becomes two, some become ASCII.
           {"SCR\u0130PT", "scri\u0307pt"}, {"\u212A", "k"}, {"\u1E9E", "\u00DF"},
           {"\u00DF", "\u00DF"}, {upper, lower}}) {
    EXPECT_EQ(to_lower_full(in), out) << in;
  }
  uloc_setDefault(saved.c_str(), &err);
}

// Offsets are found eight bytes at a time where a word allows; they must be those
// of walking byte by byte, for mixed, wide and ill-formed text at every count.
TEST(CodePoints, OffsetsAgreeWithAByteWalk) {
  const std::string_view pieces[] = {"a", "bc", "\u00E4", "\u20AC", "\U0001F600", "\x80", "\xFF"};
  std::mt19937 random(5);
  for (int trial = 0; trial < 400; ++trial) {
    std::string s;
    const std::size_t count = random() % 40;
    for (std::size_t i = 0; i < count; ++i) s += pieces[random() % std::size(pieces)];
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    for (std::size_t n = 0; n <= starts.size() + 1; ++n) {
      EXPECT_EQ(code_point_offset(s, n), n < starts.size() ? starts[n] : s.size()) << s << " / " << n;
    }
  }
}

TEST(CodePoints, CountOffsetsAndNext) {
  const std::string_view s = "a\u00E4\u20AC\U0001F600";  // 1 + 2 + 3 + 4 bytes
  EXPECT_EQ(count_code_points(s), 4u);
  EXPECT_EQ(count_code_points(""), 0u);
  const std::size_t offsets[] = {0, 1, 3, 6, 10, 10};
  for (std::size_t n = 0; n < 6; ++n) EXPECT_EQ(code_point_offset(s, n), offsets[n]);
  std::size_t pos = 0;
  for (char32_t cp : {U'a', U'\xE4', U'\x20AC', U'\x1F600'}) EXPECT_EQ(next_code_point(s, pos), cp);
  EXPECT_EQ(pos, s.size());
  // A truncated sequence gives one replacement per byte and no read past its end.
  const testing::HeapCopy truncated("\xF0\x9F\x98");
  pos = 0;
  for (int step = 0; step < 3; ++step) EXPECT_EQ(next_code_point(truncated.view(), pos), 0xFFFDu);
  EXPECT_EQ(pos, 3u);
}

TEST(Utf8Lossy, ReplacesEachMaximalSubpart) {
  for (const auto& [in, out] : std::initializer_list<Row>{
           {"", ""}, {"\u00E4\u20AC\U0001F600\uFFFD", "\u00E4\u20AC\U0001F600\uFFFD"},
           {"\x80", "\uFFFD"}, {"a\xFFz", "a\uFFFDz"}, {"\xF5\x80", "\uFFFD\uFFFD"},
           {"\xF0\x80\x80", "\uFFFD\uFFFD\uFFFD"},  // F0 needs 90..BF next: three subparts
           {"\xE2\x82", "\uFFFD"}, {"\xE2\x82" "A", "\uFFFD" "A"}, {"\xF1\x80\x80", "\uFFFD"},
           {"\xC0\xAF", "\uFFFD\uFFFD"}, {"\xC1\xBF", "\uFFFD\uFFFD"},
           {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"}, {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
           {"\xED\x9F\xBF", "\uD7FF"}, {"\xF4\x8F\xBF\xBF", "\U0010FFFF"},
           {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
           {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
            "a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"}}) {
    EXPECT_EQ(utf8_lossy(in), out) << out;
  }
}

TEST(AsciiIequals, FoldsOnlyAsciiLetters) {
  const std::tuple<std::string_view, std::string_view, bool> rows[] = {
      {"", "", true}, {"UTM_Source", "utm_source", true}, {"abc", "abd", false},
      {"a", "ab", false}, {"[\\]", "{|}", false},  // differ by 0x20 but are not letters
      {"@", "`", false}, {"\u00C4", "\u00E4", false}, {"\u00C4", "\u00C4", true},
  };
  for (const auto& [a, b, equal] : rows) EXPECT_EQ(ascii_iequals(a, b), equal) << a;
}

}  // namespace
}  // namespace zoret
