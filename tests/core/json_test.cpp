#include "zoret/json.hpp"
#include "zoret/detail/text_cursor.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include "test_support.hpp"
#include "zoret/payload.hpp"

namespace zoret {
namespace {

using testing::repeat;

Result<Json> parse_exact(const std::string& text) {
  return parse_json(testing::HeapCopy(text).view());
}

template <class T>
std::string appended(void (*append)(std::string&, T), T value) {
  std::string out;
  append(out, value);
  return out;
}
std::string double_text(double value) { return appended(append_json_double, value); }
std::string string_text(std::string_view s) { return appended(append_json_string, s); }
std::string reindented(std::string_view compact, int level = 0) {
  std::string out;
  append_json_reindented(out, compact, level);
  return out;
}

TEST(AppendJsonDouble, ShortestDigitsAndNotation) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::pair<double, const char*> cases[] = {
      {0.1, "0.1"}, {3.0, "3.0"}, {1e-5, "0.00001"}, {1e-6, "1e-6"}, {0.0, "0.0"}, {-0.0, "-0.0"},
      {1e15, "1000000000000000.0"}, {1e16, "1e+16"}, {-1e100, "-1e+100"}, {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {kInf, "null"}, {-kInf, "null"}, {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(double_text(value), text) << text;
}

TEST(AppendJsonDouble, ReadsBackBitForBit) {
  std::mt19937_64 random(20240607);
  for (int i = 0; i < 20000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    const std::string text = double_text(value);
    const auto parsed = parse_exact(text);
    ASSERT_TRUE(parsed && parsed->is_number_float()) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(parsed->get<double>()),
              std::bit_cast<std::uint64_t>(value))
        << text;
  }
}

TEST(AppendJsonString, EscapesOnlyWhatJsonRequires) {
  const std::pair<std::string, const char*> cases[] = {
      {"", R"("")"}, {"\b\f\n\r\t", R"("\b\f\n\r\t")"}, {"\x01\x1b[0m", R"("\u0001\u001b[0m")"},
      {"a/b</script>\x7f", "\"a/b</script>\x7f\""},
  };
  for (const auto& [input, text] : cases) EXPECT_EQ(string_text(input), text) << text;
}

// The value writers copy a clean string while scanning it and fall back to
// append_json_string at the first escape: as a value, as a member name and after
// text already written, they must give its bytes.
void expect_value_writers_agree(const std::string& input, const std::string& quoted) {
  EXPECT_EQ(to_json_compact(Json(input)), quoted);
  EXPECT_EQ(to_json_pretty_text(Json(input)), quoted);
  EXPECT_EQ(to_json_compact(Json::object({{input, json_uint(1)}})), "{" + quoted + ":1}");
  EXPECT_EQ(to_json_compact(Json::array({"x", input, input})),
            "[\"x\"," + quoted + "," + quoted + "]");
  EXPECT_EQ(to_json_pretty_text(Json::array({input})), "[\n  " + quoted + "\n]");
  for (const bool pretty : {false, true}) {
    std::string out = "x";
    {
      JsonWriter w(out, pretty);
      w.begin_object();
      w.key(input);
      w.string(input);
      w.end_object();
    }
    EXPECT_EQ(out, pretty ? "x{\n  " + quoted + ": " + quoted + "\n}" : "x{" + quoted + ":" + quoted + "}");
  }
}

// Escapes must be found at every offset of a word-at-a-time scan, next to high bytes too.
TEST(AppendJsonString, FindsEscapesAtEveryOffset) {
  const std::pair<char, std::string> specials[] = {
      {'"', R"(\")"}, {'\\', R"(\\)"}, {'\n', R"(\n)"}, {'\0', R"(\u0000)"}, {'\x1f', R"(\u001f)"}};
  // Every length up to past two wide loads, with the special at every offset: the
  // short, overlapping and block-wise scans each meet it in every lane.
  for (const std::string_view fillers :
       {"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOP",
        "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xFF\x80 !~\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xFF\x80 !~"}) {
    for (std::size_t size = 1; size <= fillers.size(); ++size) {
      const std::string filler(fillers.substr(0, size));
      EXPECT_EQ(string_text(filler), "\"" + filler + "\"");
      expect_value_writers_agree(filler, "\"" + filler + "\"");
      for (const auto& [special, escaped] : specials) {
        for (std::size_t at = 0; at < size; ++at) {
          std::string input = filler, expected = "\"" + filler + "\"";
          input[at] = special;
          expected.replace(at + 1, 1, escaped);
          EXPECT_EQ(string_text(input), expected) << "size " << size << " offset " << at;
          expect_value_writers_agree(input, expected);
        }
      }
    }
  }
}

TEST(JsonText, CompactAndPrettyLayouts) {
  using O = Json::object_t;
  const std::tuple<Json, const char*, const char*> cases[] = {
      {Json(), "null", "null"}, {Json::object(), "{}", "{}"}, {json_int(-3), "-3", "-3"},
      {json_uint(18446744073709551615u), "18446744073709551615", "18446744073709551615"},
      {Json::array({true, false, nullptr}), "[true,false,null]", "[\n  true,\n  false,\n  null\n]"},
      {O{{"a", O{}}, {"b", Json::array({Json::array(), O{}})}}, R"({"a":{},"b":[[],{}]})",
       "{\n  \"a\": {},\n  \"b\": [\n    [],\n    {}\n  ]\n}"},
      // Keys in byte order, upper case first.
      {O{{"b", 1.0}, {"a", json_uint(1)}, {"B", "x"}}, R"({"B":"x","a":1,"b":1.0})",
       "{\n  \"B\": \"x\",\n  \"a\": 1,\n  \"b\": 1.0\n}"},
      {O{{"k\"", Json::array({O{{"x", Json::array()}}})}}, R"({"k\"":[{"x":[]}]})",
       "{\n  \"k\\\"\": [\n    {\n      \"x\": []\n    }\n  ]\n}"},
  };
  for (const auto& [value, compact, pretty] : cases) {
    EXPECT_EQ(to_json_compact(value), compact);
    EXPECT_EQ(to_json_pretty_text(value), pretty);
    EXPECT_EQ(reindented(compact), pretty);
  }
  std::string out = "x";
  append_json_pretty(out, Json::array({json_uint(1)}), 2);
  EXPECT_EQ(out, "x[\n      1\n    ]");
  EXPECT_EQ("x" + reindented("[1]", 2), out);
}

// Structural characters and escapes inside strings stay as they are; a string
// ending in an escaped backslash still ends there.
TEST(JsonText, ReindentingReadsStringsWhole) {
  const Json value = *parse_exact(
      R"({"a\\":"{,:}[]\"","\"k":["\\","\u0001:",{}],)"
      R"("long":"0123456789abcdef\"{0123456789abcdef:,","n":[-1.5e+300,0,false]})");
  const std::string compact = to_json_compact(value);
  for (int level = 0; level < 4; ++level) {
    std::string pretty;
    append_json_pretty(pretty, value, level);
    EXPECT_EQ(reindented(compact, level), pretty) << level;
  }
  // Deep enough that the indentation outgrows the room made ahead.
  Json deep = Json::array({"leaf"});
  for (int i = 0; i < 100; ++i) deep = Json::array({std::move(deep), json_uint(1)});
  EXPECT_EQ(reindented(to_json_compact(deep)), to_json_pretty_text(deep));
}

TEST(JsonWriter, MatchesValueWriters) {
  const Json record = *parse_exact(R"({"a":[],"b":{},"c":{"k":[1,{}],"z":null},)"
                                   R"("d":[7,-7,true,null,"s\n",{"inner":[]},[0.5]],"e":""})");
  for (const bool pretty : {false, true}) {
    std::string out = "prefix";
    JsonWriter w(out, pretty);
    w.begin_object();
    w.key("a"); w.begin_array(); w.end_array();
    w.key("b"); w.begin_object(); w.end_object();
    w.field("c", record["c"]);
    w.key("d"); w.begin_array(); w.uint(7); w.integer(-7); w.boolean(true); w.null();
    w.string("s\n"); w.begin_object(); w.key("inner"); w.value(Json::array()); w.end_object();
    w.compact_value("[0.5]"); w.end_array();
    w.field("absent", std::optional<std::int32_t>());
    w.field("e", std::string_view()); w.end_object();
    w.close();
    EXPECT_EQ(out, "prefix" + (pretty ? to_json_pretty_text(record) : to_json_compact(record)));

    std::string empty;
    JsonWriter top(empty, pretty);
    top.begin_object(); top.end_object();
    top.close();
    EXPECT_EQ(empty, "{}");
  }
  // Past the indentation copied whole (32 levels), lines are indented space by space.
  // Members too, with a name to escape and one after another at every level.
  Json deep = json_uint(1);
  for (int level = 0; level < 40; ++level) {
    deep = level % 2 == 0 ? Json::array({std::move(deep), nullptr})
                          : Json(Json::object_t{{"a\"", std::move(deep)}, {"b", true}});
  }
  std::string streamed;
  {
    JsonWriter w(streamed, /*pretty=*/true);
    for (int level = 0; level < 20; ++level) w.begin_array();
    w.value(deep);
    for (int level = 0; level < 20; ++level) w.end_array();
  }
  Json wrapped = deep;
  for (int level = 0; level < 20; ++level) wrapped = Json::array({std::move(wrapped)});
  EXPECT_EQ(streamed, to_json_pretty_text(wrapped));
  EXPECT_EQ(reindented(to_json_compact(wrapped)), streamed);
}

// Room is zero-filled as it is made, so a buffer kept from a long text must not be
// filled whole again for every short text written into it after.
TEST(TextCursor, RoomGrowsWithTheTextNotTheCapacity) {
  std::string kept;
  kept.reserve(std::size_t{1} << 20);
  detail::TextCursor cursor(kept);
  cursor.room(10);
  EXPECT_LE(kept.size(), std::size_t{8} << 10);
  for (int piece = 0; piece < 1000; ++piece) {
    cursor.room(10);
    cursor.put("0123456789");
  }
  EXPECT_LE(kept.size(), std::size_t{32} << 10);
  cursor.close();
  EXPECT_EQ(kept.size(), 10000U);
  EXPECT_EQ(kept.substr(9990), "0123456789");
}

TEST(JsonEqual, NumbersCompareByKindAndValue) {
  const Json signed_five(std::int64_t{5});
  EXPECT_TRUE(json_equal(signed_five, json_uint(5)) && json_equal(json_uint(5), signed_five));
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"1", "1.0", false}, {"-1", "18446744073709551615", false}, {"0.5", "0.5", true},
      {R"("1")", "1", false}, {"null", "false", false}, {"[1]", "[1,1]", false},
      {"{}", "[]", false}, {R"({"a":1})", R"({"b":1})", false},
      {R"({"a":1})", R"({"a":1.0})", false},
      {R"({"a":[],"b":null})", R"({"b":null,"a":[]})", true},
  };
  for (const auto& [a, b, equal] : cases) {
    EXPECT_EQ(json_equal(*parse_exact(a), *parse_exact(b)), equal) << a << " vs " << b;
    EXPECT_EQ(json_equal(*parse_exact(b), *parse_exact(a)), equal) << b << " vs " << a;
  }
}

TEST(EmptyFromLeaves, EmptiesContainersAndLeavesScalars) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"a":[1,{"b":"text","c":[[],{}]}],"d":{"e":null}})", "{}"},
      {R"([[1],[2,[3,{"f":[true]}]]])", "[]"},
      {R"("text")", R"("text")"},
      {"12", "12"},
  };
  for (const auto& [text, emptied] : cases) {
    Json value = *parse_exact(text);
    empty_from_leaves(value);
    EXPECT_EQ(to_json_compact(value), emptied) << text;
  }
}

// A payload empties its JSON-LD before destroying it, recursing only to a bound:
// a hook may hand back a value nested deeper than the call stack has frames.
TEST(EmptyFromLeaves, APayloadWithDeeplyNestedJsonLdIsDestroyed) {
  auto payload = std::make_unique<SEOPayload>();
  payload->schema_jsonld = Json::object();
  Json* at = &*payload->schema_jsonld;
  for (int level = 0; level < 300'000; ++level) {
    if (level % 2 == 0) {
      at = &((*at)["next"] = Json::array());
    } else {
      at->push_back(Json::object({{"name", "level"}}));
      at = &at->back();
    }
  }
  payload.reset();
  SUCCEED();
}

TEST(ParseJson, ReadsValuesWithNumberKinds) {
  const std::pair<std::string, Json> cases[] = {
      {" \t\r\n0 ", json_uint(0)}, {"-0", json_uint(0)},
      {"18446744073709551615", json_uint(18446744073709551615u)},
      {"18446744073709551616", Json(18446744073709551616.0)},
      {"-9223372036854775808", json_int(std::numeric_limits<std::int64_t>::min())},
      {"-9223372036854775809", Json(-9223372036854775809.0)},
      {"1.0", Json(1.0)}, {"1E2", Json(100.0)}, {"-0.0", Json(-0.0)},
      {"1e-400", Json(0.0)}, {"0.0000e99999999999999999999", Json(0.0)},
      {"[1,\"a\",true,false,null,{}]",
       Json::array({json_uint(1), "a", true, false, nullptr, Json::object()})},
      {R"({"b":1,"a":2,"b":3})", Json::object({{"a", json_uint(2)}, {"b", json_uint(3)}})},
      {R"("\"\\\/\b\f\n\r\t")", Json("\"\\/\b\f\n\r\t")},
      {R"("\u00e9\u00E9\ud83d\ude00")", Json("\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80")},
      {R"("\u0000")", Json(std::string(1, '\0'))},
      {"\"\xE2\x82\xAC\xF4\x8F\xBF\xBF\"", Json("\xE2\x82\xAC\xF4\x8F\xBF\xBF")},
  };
  for (const auto& [text, expected] : cases) {
    const auto parsed = parse_exact(text);
    ASSERT_TRUE(parsed) << text << ": " << parsed.error().message();
    EXPECT_TRUE(json_equal(*parsed, expected)) << text << " -> " << parsed->dump();
    EXPECT_EQ(parsed->type(), expected.type()) << text;  // json_equal lets ints meet
  }
  EXPECT_TRUE(std::signbit(parse_exact("-0.0")->get<double>()));
}

TEST(ParseJson, ErrorMessages) {
  constexpr const char* kEofValue = "EOF while parsing a value";
  constexpr const char* kExpected = "expected value";
  constexpr const char* kNumber = "invalid number";
  constexpr const char* kRange = "number out of range";
  constexpr const char* kEofString = "EOF while parsing a string";
  constexpr const char* kUtf8 = "invalid unicode code point";
  constexpr const char* kLone = "lone leading surrogate in hex escape";
  const struct {
    std::string text;
    const char* what;
    int column;
    int line = 1;
  } cases[] = {
      {"", kEofValue, 0}, {"NaN", kExpected, 1}, {"-Infinity", kExpected, 2},
      {"tru", kEofValue, 3}, {"nul!", kExpected, 4},
      {"[1", "EOF while parsing a list", 2}, {"[1 2]", "expected `,` or `]`", 4},
      {"[1,]", "trailing comma", 4}, {"{", "EOF while parsing an object", 1},
      {"{\"a\"", "EOF while parsing an object", 4}, {"{\"a\" 1}", "expected `:`", 6},
      {"{\"a\":1,}", "trailing comma", 8}, {"{\"a\":1 \"b\"}", "expected `,` or `}`", 8},
      {"{\n  \"a\": 1,\n  b}", "key must be a string", 3, 3}, {"01", kNumber, 2},
      {"-", kEofValue, 1}, {"1.", kNumber, 2}, {"1e+", kNumber, 3},
      {"1e309", kRange, 5}, {std::string(400, '9'), kRange, 400},
      {"\"abc", kEofString, 4}, {"\"a\\x\"", "invalid escape", 4},
      {"\"\\u12g4\"", "invalid escape", 6}, {"\"\\u12", kEofString, 5},
      {"\"\\udc00\"", kLone, 7}, {"\"\\ud800\"", "unexpected end of hex escape", 8},
      {"\"\\ud800\\u0041\"", kLone, 13},
      {"\"a\tb\"", "control character (\\u0000-\\u001F) found while parsing a string", 3},
      {"\"\xC3\x28\"", kUtf8, 3}, {"\"\xC0\xAF\"", kUtf8, 2}, {"\"\xED\xA0\x80\"", kUtf8, 3},
      {"\"\xF4\x90\x80\x80\"", kUtf8, 3}, {"\"\xE2\x82", kEofString, 3},
      {"\xEF\xBB\xBF{}", kExpected, 1}, {"1\n\n  //", "trailing characters", 3, 3},
      {"[1]\f", "trailing characters", 4},
      {repeat("[", 128) + repeat("]", 128), "recursion limit exceeded", 128},
      {repeat("{\"k\":", 126) + "[{" + repeat("}", 127), "recursion limit exceeded", 126 * 5 + 2},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_exact(c.text);
    ASSERT_FALSE(parsed) << c.text << " parsed as " << parsed->dump();
    EXPECT_EQ(parsed.error().kind(), ErrorKind::Serialization);
    const std::string at = std::to_string(c.line) + " column " + std::to_string(c.column);
    EXPECT_EQ(parsed.error().message(), c.what + (" at line " + at)) << c.text;
  }
}

TEST(ParseJson, NestingBelowTheLimit) {
  EXPECT_TRUE(parse_exact(repeat("[", 127) + repeat("]", 127)));
  EXPECT_TRUE(parse_exact(repeat("{\"k\":", 126) + "[]" + repeat("}", 126)));
  EXPECT_FALSE(parse_exact(std::string(1'000'000, '[')));  // no stack exhaustion
}

}  // namespace
}  // namespace zoret
