#include "zoret/json.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace zoret {
namespace {

// Parses from a heap buffer of exactly the input's size so that ASan sees any
// read past the end.
Result<Json> parse_exact(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  return parse_json(std::string_view(buffer.data(), buffer.size()));
}

std::string double_text(double value) {
  std::string out;
  append_json_double(out, value);
  return out;
}

std::string string_text(std::string_view s) {
  std::string out;
  append_json_string(out, s);
  return out;
}

Json object(std::initializer_list<std::pair<const std::string, Json>> members) {
  Json out = Json::object();
  for (const auto& [name, value] : members) out[name] = value;
  return out;
}

Json array(std::initializer_list<Json> items) {
  Json out = Json::array();
  for (const auto& item : items) out.push_back(item);
  return out;
}

TEST(AppendJsonDouble, ShortestDigitsAndNotation) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.1, "0.1"},
      {1e-5, "0.00001"},
      {1.25e-5, "0.0000125"},
      {1e-6, "1e-6"},
      {1.5e-7, "1.5e-7"},
      {3.0, "3.0"},
      {100.0, "100.0"},
      {1234567.125, "1234567.125"},
      {1e15, "1000000000000000.0"},
      {9007199254740993.0, "9007199254740992.0"},
      {1e16, "1e+16"},
      {123456789012345680000.0, "1.2345678901234568e+20"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {-2.5, "-2.5"},
      {-1e100, "-1e+100"},
      {std::numeric_limits<double>::infinity(), "null"},
      {-std::numeric_limits<double>::infinity(), "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& c : cases) EXPECT_EQ(double_text(c.value), c.text) << c.text;
}

TEST(AppendJsonDouble, ReadsBackBitForBit) {
  std::mt19937_64 random(20240607);
  for (int i = 0; i < 20000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    const std::string text = double_text(value);
    const auto parsed = parse_exact(text);
    ASSERT_TRUE(parsed) << text << ": " << parsed.error().message();
    ASSERT_TRUE(parsed->is_number_float()) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(parsed->get<double>()),
              std::bit_cast<std::uint64_t>(value))
        << text;
  }
}

TEST(AppendJsonString, EscapesOnlyWhatJsonRequires) {
  const struct {
    std::string input;
    const char* text;
  } cases[] = {
      {"", R"("")"},
      {"plain", R"("plain")"},
      {"q\"b\\", R"("q\"b\\")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\0\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
      {"\x1b[0m", R"("\u001b[0m")"},
      {"a/b</script>\x7f", "\"a/b</script>\x7f\""},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\""},
  };
  for (const auto& c : cases) EXPECT_EQ(string_text(c.input), c.text) << c.text;
}

// Long strings are scanned a word at a time: every character that needs an
// escape must be caught wherever it falls, in the last partial word too, and
// high bytes next to it must not hide it.
TEST(AppendJsonString, FindsEscapesAtEveryOffset) {
  const struct {
    char special;
    const char* escaped;
  } specials[] = {{'"', R"(\")"}, {'\\', R"(\\)"}, {'\n', R"(\n)"},
                  {'\0', R"(\u0000)"}, {'\x1f', R"(\u001f)"}};
  const std::string fillers[] = {"abcdefghijklmnopqrstu",
                                 "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xFF\x80 !~"};
  for (const std::string& filler : fillers) {
    for (const auto& [special, escaped] : specials) {
      for (std::size_t at = 0; at < filler.size(); ++at) {
        std::string input = filler;
        input[at] = special;
        const std::string expected =
            "\"" + filler.substr(0, at) + escaped + filler.substr(at + 1) + "\"";
        EXPECT_EQ(string_text(input), expected) << "offset " << at;
      }
    }
  }
}

TEST(JsonText, CompactAndPrettyLayouts) {
  const Json nested_empty =
      object({{"a", Json::object()}, {"b", array({Json::array(), Json::object()})}});
  const struct {
    Json value;
    const char* compact;
    const char* pretty;
  } cases[] = {
      {Json(), "null", "null"},
      {Json::object(), "{}", "{}"},
      {Json::array(), "[]", "[]"},
      {json_int(-3), "-3", "-3"},
      {json_uint(18446744073709551615u), "18446744073709551615", "18446744073709551615"},
      {Json(std::int64_t{5}), "5", "5"},
      {array({Json(true), Json(false), Json()}), "[true,false,null]",
       "[\n  true,\n  false,\n  null\n]"},
      {nested_empty, R"({"a":{},"b":[[],{}]})",
       "{\n  \"a\": {},\n  \"b\": [\n    [],\n    {}\n  ]\n}"},
      // Keys come out in byte order, upper case before lower case.
      {object({{"b", Json(1.0)}, {"a", json_uint(1)}, {"B", Json("x")}}),
       R"({"B":"x","a":1,"b":1.0})", "{\n  \"B\": \"x\",\n  \"a\": 1,\n  \"b\": 1.0\n}"},
      {object({{"k\"", array({object({{"x", Json::array()}})})}}), R"({"k\"":[{"x":[]}]})",
       "{\n  \"k\\\"\": [\n    {\n      \"x\": []\n    }\n  ]\n}"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(to_json_compact(c.value), c.compact);
    EXPECT_EQ(to_json_pretty_text(c.value), c.pretty);
  }
}

TEST(JsonText, PrettyAtLevelIndentsClosingBracket) {
  std::string out = "x";
  append_json_pretty(out, array({json_uint(1)}), 2);
  EXPECT_EQ(out, "x[\n      1\n    ]");
}

// Writes the same record the way a record serialiser would; keys are already in
// byte order so the value writers must produce identical text.
void write_record(JsonWriter& w) {
  w.begin_object();
  w.member("a_empty_list", [](JsonWriter& x) {
    x.begin_array();
    x.end_array();
  });
  w.member("b_empty_object", [](JsonWriter& x) {
    x.begin_object();
    x.end_object();
  });
  w.member("c_embedded", [](JsonWriter& x) {
    x.value(object({{"k", array({json_uint(1), Json::object()})}, {"z", Json()}}));
  });
  w.member("d_list", [](JsonWriter& x) {
    x.begin_array();
    x.uint(7);
    x.integer(-7);
    x.boolean(true);
    x.null();
    x.string("s\n");
    x.begin_object();
    x.key("inner");
    x.value(Json::array());
    x.end_object();
    x.value(array({Json(0.5)}));
    x.end_array();
  });
  w.key("e_last");
  w.string("");
  w.end_object();
}

TEST(JsonWriter, MatchesValueWriters) {
  const Json equivalent = object({
      {"a_empty_list", Json::array()},
      {"b_empty_object", Json::object()},
      {"c_embedded",
       object({{"k", array({json_uint(1), Json::object()})}, {"z", Json()}})},
      {"d_list", array({json_uint(7), json_int(-7), Json(true), Json(), Json("s\n"),
                        object({{"inner", Json::array()}}), array({Json(0.5)})})},
      {"e_last", Json("")},
  });
  for (const bool pretty : {false, true}) {
    std::string out = "prefix";
    JsonWriter writer(out, pretty);
    write_record(writer);
    EXPECT_EQ(out, "prefix" + (pretty ? to_json_pretty_text(equivalent)
                                      : to_json_compact(equivalent)))
        << (pretty ? "pretty" : "compact");
  }
}

TEST(JsonWriter, EmptyTopLevelContainers) {
  for (const bool pretty : {false, true}) {
    std::string out;
    JsonWriter writer(out, pretty);
    writer.begin_object();
    writer.end_object();
    EXPECT_EQ(out, "{}");
  }
}

TEST(JsonEqual, NumbersCompareByKindAndValue) {
  const struct {
    Json a;
    Json b;
    bool equal;
  } cases[] = {
      {json_uint(1), Json(1.0), false},
      {json_int(-1), Json(-1.0), false},
      {Json(std::int64_t{5}), json_uint(5), true},
      {json_uint(5), Json(std::int64_t{5}), true},
      {json_int(-1), json_uint(18446744073709551615u), false},
      {json_int(-2), Json(std::int64_t{-2}), true},
      {Json(0.5), Json(0.5), true},
      {Json("1"), json_uint(1), false},
      {Json(), Json(false), false},
      {array({json_uint(1)}), array({json_uint(1), json_uint(1)}), false},
      {array({json_uint(1), Json("a")}), array({json_uint(1), Json("a")}), true},
      {object({{"a", json_uint(1)}}), object({{"b", json_uint(1)}}), false},
      {object({{"a", json_uint(1)}}), object({{"a", Json(1.0)}}), false},
      {object({{"a", array({})}, {"b", Json()}}), object({{"b", Json()}, {"a", array({})}}),
       true},
      {Json::object(), Json::array(), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(json_equal(c.a, c.b), c.equal) << c.a.dump() << " vs " << c.b.dump();
    EXPECT_EQ(json_equal(c.b, c.a), c.equal) << c.b.dump() << " vs " << c.a.dump();
  }
}

TEST(ParseJson, ReadsValuesWithNumberKinds) {
  const struct {
    std::string text;
    Json expected;
  } cases[] = {
      {" \t\r\n0 ", json_uint(0)},
      {"-0", json_uint(0)},
      {"18446744073709551615", json_uint(18446744073709551615u)},
      {"18446744073709551616", Json(18446744073709551616.0)},
      {"-9223372036854775808", json_int(std::numeric_limits<std::int64_t>::min())},
      {"-9223372036854775809", Json(-9223372036854775809.0)},
      {"1.0", Json(1.0)},
      {"1E2", Json(100.0)},
      {"-0.0", Json(-0.0)},
      {"2.5e-1", Json(0.25)},
      {"1e-400", Json(0.0)},
      {"0.0000e99999999999999999999", Json(0.0)},
      {"[1,\"a\",true,false,null,{}]",
       array({json_uint(1), Json("a"), Json(true), Json(false), Json(), Json::object()})},
      {R"({"b":1,"a":2,"b":3})", object({{"a", json_uint(2)}, {"b", json_uint(3)}})},
      {R"("\"\\\/\b\f\n\r\t")", Json("\"\\/\b\f\n\r\t")},
      {R"("\u00e9\u00E9\ud83d\ude00")", Json("\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80")},
      {R"("\u0000")", Json(std::string(1, '\0'))},
      {"\"\xE2\x82\xAC\xF4\x8F\xBF\xBF\"", Json("\xE2\x82\xAC\xF4\x8F\xBF\xBF")},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_exact(c.text);
    ASSERT_TRUE(parsed) << c.text << ": " << parsed.error().message();
    EXPECT_TRUE(json_equal(*parsed, c.expected)) << c.text << " -> " << parsed->dump();
    // json_equal lets the two integer kinds meet; the parser must pick the right one.
    EXPECT_EQ(parsed->type(), c.expected.type()) << c.text;
  }
  EXPECT_TRUE(std::signbit(parse_exact("-0.0")->get<double>()));
}

TEST(ParseJson, ErrorMessages) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"  ", "EOF while parsing a value at line 1 column 2"},
      {"NaN", "expected value at line 1 column 1"},
      {"[NaN]", "expected value at line 1 column 2"},
      {"Infinity", "expected value at line 1 column 1"},
      {"-Infinity", "expected value at line 1 column 2"},
      {"tru", "EOF while parsing a value at line 1 column 3"},
      {"nul!", "expected value at line 1 column 4"},
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"[1", "EOF while parsing a list at line 1 column 2"},
      {"[1,", "EOF while parsing a value at line 1 column 3"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"{", "EOF while parsing an object at line 1 column 1"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{\"a\":}", "expected value at line 1 column 6"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"{\"a\":1 \"b\"}", "expected `,` or `}` at line 1 column 8"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"{\n  \"a\": 1,\n  b}", "key must be a string at line 3 column 3"},
      {"01", "invalid number at line 1 column 2"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"1.", "invalid number at line 1 column 2"},
      {"1.e3", "invalid number at line 1 column 3"},
      {"1e+", "invalid number at line 1 column 3"},
      {".5", "expected value at line 1 column 1"},
      {"+1", "expected value at line 1 column 1"},
      {"1e309", "number out of range at line 1 column 5"},
      {"[-1e400]", "number out of range at line 1 column 7"},
      {std::string(400, '9'), "number out of range at line 1 column 400"},
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"\"a\\x\"", "invalid escape at line 1 column 4"},
      {"\"\\u12g4\"", "invalid escape at line 1 column 6"},
      {"\"\\u12", "EOF while parsing a string at line 1 column 5"},
      {"\"\\udc00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"\"\\ud800\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\ud800\\n\"", "unexpected end of hex escape at line 1 column 9"},
      {"\"\\ud800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"a\tb\"", "control character (\\u0000-\\u001F) found while parsing a string at "
                   "line 1 column 3"},
      {"\"\xC3\x28\"", "invalid unicode code point at line 1 column 3"},
      {"\"\xC0\xAF\"", "invalid unicode code point at line 1 column 2"},
      {"\"\xED\xA0\x80\"", "invalid unicode code point at line 1 column 3"},
      {"\"\xF4\x90\x80\x80\"", "invalid unicode code point at line 1 column 3"},
      {"\"\xE2\x82", "EOF while parsing a string at line 1 column 3"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"{} x", "trailing characters at line 1 column 4"},
      {"1\n\n  //", "trailing characters at line 3 column 3"},
      {"[1]\f", "trailing characters at line 1 column 4"},
      {"/* c */ 1", "expected value at line 1 column 1"},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_exact(c.text);
    ASSERT_FALSE(parsed) << c.text << " parsed as " << parsed->dump();
    EXPECT_EQ(parsed.error().kind(), ErrorKind::Serialization);
    EXPECT_EQ(parsed.error().message(), c.message) << c.text;
  }
}

TEST(ParseJson, NestingLimit) {
  const auto nested = [](int depth, char open, const std::string& inner, char close) {
    return std::string(static_cast<std::size_t>(depth), open) + inner +
           std::string(static_cast<std::size_t>(depth), close);
  };
  EXPECT_TRUE(parse_exact(nested(127, '[', "", ']')));
  std::string objects;
  for (int i = 0; i < 126; ++i) objects += "{\"k\":";
  EXPECT_TRUE(parse_exact(objects + "[]" + std::string(126, '}')));

  const auto too_deep = parse_exact(nested(128, '[', "", ']'));
  ASSERT_FALSE(too_deep);
  EXPECT_EQ(too_deep.error().message(), "recursion limit exceeded at line 1 column 128");
  const auto objects_too_deep = parse_exact(objects + "[{" + std::string(127, '}'));
  ASSERT_FALSE(objects_too_deep);
  EXPECT_EQ(objects_too_deep.error().message(),
            "recursion limit exceeded at line 1 column " + std::to_string(126 * 5 + 2));
  // Far deeper input must fail the same way rather than exhaust the stack.
  EXPECT_FALSE(parse_exact(std::string(1'000'000, '[')));
}

TEST(ParseJson, RoundTripsThroughBothWriters) {
  const std::string text =
      R"({"z":[1,-2,3.5,1e300,-0.0,"\u0001\"/\u00ff",[],{}],"a":{"b":{"c":null}},)"
      R"("":true,"\u00e9":18446744073709551615})";
  const auto value = parse_exact(text);
  ASSERT_TRUE(value) << value.error().message();
  for (const std::string& written : {to_json_compact(*value), to_json_pretty_text(*value)}) {
    const auto again = parse_exact(written);
    ASSERT_TRUE(again) << written;
    EXPECT_TRUE(json_equal(*again, *value)) << written;
  }
}

}  // namespace
}  // namespace zoret
