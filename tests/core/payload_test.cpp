#include "zoret/payload.hpp"

#include <gtest/gtest.h>

#include "payload_samples.hpp"

#include <string>
#include <vector>

namespace zoret {
namespace {

using testing::parse;

SEOPayload minimal() { return testing::minimal_payload(); }

SEOPayload rich() {
  SEOPayload p = minimal();
  p.description = "D";
  p.og.title = "OT";
  p.og.url = "https://example.com/a";
  p.og.image = "https://example.com/i.png";
  p.og.image_width = 1200;
  p.og.image_height = 630;
  p.og.locale = "en_US";
  p.og.locale_alternate = std::vector<std::string>{};
  p.og.video = "";
  p.twitter.title = "TT";
  p.twitter.creator = "@c";
  p.schema_jsonld = parse(R"({"@type":"Thing","name":"N","n":1.0})");
  p.extra.emplace("custom", json_uint(1));
  p.extra.emplace("aaa", parse("[true,null]"));
  return p;
}

std::string compact(const SEOPayload& payload) {
  std::string out;
  JsonWriter writer(out, /*pretty=*/false);
  write_json(writer, payload);
  return out;
}

std::vector<std::string> keys(const Json& object) {
  std::vector<std::string> out;
  for (const auto& [name, value] : object.items()) out.push_back(name);
  return out;
}

TEST(PayloadJson, FieldByFieldInDeclarationOrder) {
  EXPECT_EQ(compact(minimal()),
            R"({"title":"T","description":"","canonical":"C","robots":"index,follow",)"
            R"("og":{"type":"website"},"twitter":{"card":"summary"}})");
  EXPECT_EQ(compact(rich()),
            R"({"title":"T","description":"D","canonical":"C","robots":"index,follow",)"
            R"("og":{"type":"website","title":"OT","url":"https://example.com/a",)"
            R"("image":"https://example.com/i.png","image_width":1200,"image_height":630,)"
            R"("locale":"en_US","locale_alternate":[],"video":""},)"
            R"("twitter":{"card":"summary","title":"TT","creator":"@c"},)"
            R"("schema_jsonld":{"@type":"Thing","n":1.0,"name":"N"},)"
            R"("aaa":[true,null],"custom":1})");
}

TEST(PayloadJson, DictionaryKeysAreSortedAtEveryLevel) {
  const auto dict = rich().to_dict();
  ASSERT_TRUE(dict.has_value());
  EXPECT_EQ(keys(*dict), (std::vector<std::string>{"aaa", "canonical", "custom", "description",
                                                   "og", "robots", "schema_jsonld", "title",
                                                   "twitter"}));
  EXPECT_EQ(keys((*dict)["og"]),
            (std::vector<std::string>{"image", "image_height", "image_width", "locale",
                                      "locale_alternate", "title", "type", "url", "video"}));
  EXPECT_EQ(keys((*dict)["twitter"]), (std::vector<std::string>{"card", "creator", "title"}));
  EXPECT_TRUE((*dict)["og"]["image_width"].is_number_unsigned());

  const auto plain = minimal().to_dict();
  ASSERT_TRUE(plain.has_value());
  EXPECT_EQ(keys(*plain), (std::vector<std::string>{"canonical", "description", "og", "robots",
                                                    "title", "twitter"}));
}

// Both forms are built separately; reading the text back must give the dictionary.
TEST(PayloadJson, BothFormsHoldTheSameMembers) {
  for (const SEOPayload& payload : {minimal(), rich()}) {
    const auto dict = payload.to_dict();
    ASSERT_TRUE(dict.has_value());
    EXPECT_TRUE(json_equal(parse(compact(payload)), *dict)) << compact(payload);
  }
}

TEST(PayloadJson, ExtraNeverShadowsKnownMembers) {
  SEOPayload p = minimal();
  p.extra.emplace("title", Json("shadow"));
  EXPECT_EQ(compact(p), compact(minimal()));
  const auto dict = p.to_dict();
  ASSERT_TRUE(dict.has_value());
  EXPECT_EQ((*dict)["title"], "T");
}

TEST(PayloadEquality, ComparesEveryFieldStrictly) {
  const struct {
    const char* name;
    void (*change)(SEOPayload&);
  } cases[] = {
      {"title", [](SEOPayload& p) { p.title += "x"; }},
      {"robots", [](SEOPayload& p) { p.robots = "index"; }},
      {"og absent vs empty", [](SEOPayload& p) { p.og.site_name = ""; }},
      {"og width", [](SEOPayload& p) { p.og.image_width = 1201; }},
      {"og locale list", [](SEOPayload& p) { p.og.locale_alternate->push_back("de_DE"); }},
      {"twitter", [](SEOPayload& p) { p.twitter.site = "@s"; }},
      {"jsonld 1.0 vs 1", [](SEOPayload& p) { (*p.schema_jsonld)["n"] = json_uint(1); }},
      {"jsonld absent", [](SEOPayload& p) { p.schema_jsonld.reset(); }},
      {"extra value", [](SEOPayload& p) { p.extra["custom"] = Json(1.0); }},
      {"extra key", [](SEOPayload& p) { p.extra.erase("aaa"); }},
  };
  EXPECT_TRUE(rich() == rich());
  for (const auto& c : cases) {
    SEOPayload changed = rich();
    c.change(changed);
    EXPECT_FALSE(changed == rich()) << c.name;
    EXPECT_FALSE(rich() == changed) << c.name;
  }
}

TEST(PayloadFromDict, RoundTripsTheDictionary) {
  for (const SEOPayload& payload : {minimal(), rich()}) {
    const auto dict = payload.to_dict();
    ASSERT_TRUE(dict.has_value());
    const auto back = SEOPayload::from_dict(*dict);
    ASSERT_TRUE(back.has_value()) << back.error().message();
    EXPECT_TRUE(*back == payload);
  }
}

TEST(PayloadFromDict, ReadsLenientForms) {
  const auto read = SEOPayload::from_dict(parse(R"({
    "title": "T", "description": "", "canonical": "C", "robots": "index,follow",
    "og": ["website", null, null, null, "i.png", 4294967295, null, null, null, null,
           ["de_DE"], null, null],
    "twitter": {"card": "summary", "unknown": 5, "site": null},
    "schema_jsonld": null,
    "custom": 1})"));
  ASSERT_TRUE(read.has_value()) << read.error().message();
  SEOPayload expected = minimal();
  expected.og.image = "i.png";
  expected.og.image_width = 4294967295u;
  expected.og.locale_alternate = std::vector<std::string>{"de_DE"};
  expected.extra.emplace("custom", json_uint(1));
  EXPECT_TRUE(*read == expected);
  EXPECT_EQ(compact(*read), R"({"title":"T","description":"","canonical":"C",)"
                            R"("robots":"index,follow","og":{"type":"website",)"
                            R"("image":"i.png","image_width":4294967295,)"
                            R"("locale_alternate":["de_DE"]},)"
                            R"("twitter":{"card":"summary"},"custom":1})");
}

TEST(PayloadFromDict, RejectsWithExactMessages) {
  constexpr const char* kBase =
      R"({"title":"T","description":"","canonical":"C","robots":"R",)"
      R"("og":{"type":"website"},"twitter":{"card":"summary"}})";
  const struct {
    const char* whole;  // replaces the base document when set
    const char* set;    // members assigned over the base
    std::vector<std::string> erase;
    const char* message;
  } cases[] = {
      {"[]", nullptr, {}, "invalid type: sequence, expected struct SEOPayload"},
      {"null", nullptr, {}, "invalid type: unit value, expected struct SEOPayload"},
      {"true", nullptr, {}, "invalid type: boolean `true`, expected struct SEOPayload"},
      {"-7", nullptr, {}, "invalid type: integer `-7`, expected struct SEOPayload"},
      {"3.0", nullptr, {}, "invalid type: floating point `3.0`, expected struct SEOPayload"},
      {"1e20", nullptr, {}, "invalid type: floating point `1e+20`, expected struct SEOPayload"},
      {R"("a\"b\\c\n\r\t\u0000\u0001\u007f\u0085é/")", nullptr, {},
       R"(invalid type: string "a\"b\\c\n\r\t\0\u{1}\u{7f}\u{85}é/", expected struct SEOPayload)"},
      {nullptr, nullptr, {"robots"}, "missing field `robots`"},
      {nullptr, nullptr, {"twitter", "og", "robots"}, "missing field `robots`"},
      {nullptr, nullptr, {"twitter"}, "missing field `twitter`"},
      {nullptr, R"({"title":null})", {}, "invalid type: unit value, expected a string"},
      {nullptr, R"({"canonical":5})", {"title"}, "invalid type: integer `5`, expected a string"},
      {nullptr, R"({"og":"x"})", {}, R"(invalid type: string "x", expected struct OGPayload)"},
      {nullptr, R"({"twitter":5})", {},
       "invalid type: integer `5`, expected struct TwitterPayload"},
      {nullptr, R"({"og":{"title":"t"}})", {}, "missing field `type`"},
      {nullptr, R"({"twitter":{"title":"t"}})", {}, "missing field `card`"},
      {nullptr, R"({"og":{"type":"w","title":5}})", {},
       "invalid type: integer `5`, expected a string"},
      {nullptr, R"({"og":{"type":"w","image_width":4294967296}})", {},
       "invalid value: integer `4294967296`, expected u32"},
      {nullptr, R"({"og":{"type":"w","image_height":-1}})", {},
       "invalid value: integer `-1`, expected u32"},
      {nullptr, R"({"og":{"type":"w","image_width":1.0}})", {},
       "invalid type: floating point `1.0`, expected u32"},
      {nullptr, R"({"og":{"type":"w","locale_alternate":"en"}})", {},
       R"(invalid type: string "en", expected a sequence)"},
      {nullptr, R"({"og":{"type":"w","locale_alternate":["en",false]}})", {},
       "invalid type: boolean `false`, expected a string"},
      {nullptr, R"({"og":["w",null]})", {},
       "invalid length 2, expected struct OGPayload with 13 elements"},
      {nullptr, R"({"twitter":["s",null,null,null,null,null,null,null]})", {},
       "invalid length 8, expected struct TwitterPayload with 7 elements"},
      {nullptr, R"({"twitter":[null,null,null,null,null,null,null]})", {},
       "invalid type: unit value, expected a string"},
  };
  for (const auto& c : cases) {
    Json input = parse(c.whole ? c.whole : kBase);
    if (c.set) {
      const Json patch = parse(c.set);
      for (const auto& [name, value] : patch.items()) input[name] = value;
    }
    for (const auto& name : c.erase) input.erase(name);
    const auto read = SEOPayload::from_dict(input);
    ASSERT_FALSE(read.has_value()) << c.message;
    EXPECT_EQ(read.error().kind(), ErrorKind::Serialization);
    EXPECT_EQ(read.error().message(), c.message);
  }
}

}  // namespace
}  // namespace zoret
