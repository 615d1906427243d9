#include "zoret/payload.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload_samples.hpp"
#include "test_support.hpp"

namespace zoret {
namespace {

using testing::compact_json;
using testing::parse;
using testing::value_of;

SEOPayload minimal() { return testing::minimal_payload(); }

SEOPayload rich() {
  SEOPayload p = minimal();
  p.description = "D";
  p.og = {"website", "OT", {}, "https://example.com/a", "https://example.com/i.png", 1200, 630, {},
          {}, "en_US", std::vector<std::string>{}, {}, ""};
  p.twitter = {"summary", "TT", {}, {}, {}, {}, "@c"};
  p.schema_jsonld = parse(R"({"@type":"Thing","name":"N","n":1.0})");
  p.extra = {{"custom", json_uint(1)}, {"aaa", parse("[true,null]")}};
  return p;
}

TEST(PayloadJson, FieldByFieldInDeclarationOrderAndExtraNeverShadows) {
  EXPECT_EQ(compact_json(minimal()),
            R"({"title":"T","description":"","canonical":"C","robots":"index,follow",)"
            R"("og":{"type":"website"},"twitter":{"card":"summary"}})");
  EXPECT_EQ(compact_json(rich()),
            R"({"title":"T","description":"D","canonical":"C","robots":"index,follow","og":)"
            R"({"type":"website","title":"OT","url":"https://example.com/a","image":)"
            R"("https://example.com/i.png","image_width":1200,"image_height":630,"locale":"en_US",)"
            R"("locale_alternate":[],"video":""},"twitter":{"card":"summary","title":"TT",)"
            R"("creator":"@c"},"schema_jsonld":{"@type":"Thing","n":1.0,"name":"N"},)"
            R"("aaa":[true,null],"custom":1})");
  SEOPayload shadowed = minimal();
  shadowed.extra.emplace("title", Json("shadow"));
  EXPECT_EQ(compact_json(shadowed), compact_json(minimal()));
  EXPECT_EQ(shadowed.to_dict()["title"], "T");
}

TEST(PayloadJson, SeparatelyBuiltTextAndDictionaryAgreeAndReadBack) {
  for (const SEOPayload& payload : {minimal(), rich()}) {
    const Json dict = payload.to_dict();
    EXPECT_TRUE(json_equal(parse(compact_json(payload)), dict)) << compact_json(payload);
    EXPECT_TRUE(value_of(SEOPayload::from_dict(dict)) == payload) << compact_json(payload);
  }
  EXPECT_TRUE(rich().to_dict()["og"]["image_width"].is_number_unsigned());
}

TEST(PayloadEquality, ComparesEveryFieldStrictly) {
  void (*const changes[])(SEOPayload&) = {
      [](SEOPayload& p) { p.title += "x"; }, [](SEOPayload& p) { p.twitter.site = "@s"; },
      [](SEOPayload& p) { p.og.site_name = ""; },  // absent vs empty
      [](SEOPayload& p) { (*p.schema_jsonld)["n"] = json_uint(1); },  // 1 vs 1.0
      [](SEOPayload& p) { p.schema_jsonld.reset(); }, [](SEOPayload& p) { p.extra.erase("aaa"); },
      [](SEOPayload& p) { p.extra["custom"] = Json(1.0); },
  };
  EXPECT_TRUE(rich() == rich());
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    SEOPayload changed = rich();
    changes[i](changed);
    EXPECT_FALSE(changed == rich()) << i;
    EXPECT_FALSE(rich() == changed) << i;
  }
}

TEST(PayloadFromDict, ReadsLenientForms) {
  const SEOPayload read = value_of(SEOPayload::from_dict(parse(
      R"({"title":"T","description":"","canonical":"C","robots":"index,follow","og":["website",)"
      R"(null,null,null,"i.png",4294967295,null,null,null,null,["de_DE"],null,null],"twitter":)"
      R"({"card":"summary","unknown":5,"site":null},"schema_jsonld":null,"custom":1})")));
  EXPECT_EQ(compact_json(read),
            R"({"title":"T","description":"","canonical":"C","robots":"index,follow","og":)"
            R"({"type":"website","image":"i.png","image_width":4294967295,"locale_alternate":)"
            R"(["de_DE"]},"twitter":{"card":"summary"},"custom":1})");
}

TEST(PayloadFromDict, RejectsWithExactMessages) {
  // An object is merged over a valid document (less `erase`); anything else replaces it.
  const std::string top = ", expected struct SEOPayload", text = ", expected a string",
                    u32 = ", expected u32";
  const struct {
    const char* patch;
    std::string message;
    std::vector<std::string> erase = {};
  } cases[] = {
      {"[]", "invalid type: sequence" + top}, {"null", "invalid type: unit value" + top},
      {"true", "invalid type: boolean `true`" + top},
      {"1e20", "invalid type: floating point `1e+20`" + top},
      {R"("a\"b\\c\n\r\t\u0000\u0001\u007f\u0085é/")",
       R"(invalid type: string "a\"b\\c\n\r\t\0\u{1}\u{7f}\u{85}é/")" + top},
      {"{}", "missing field `robots`", {"twitter", "og", "robots"}},
      {"{}", "missing field `twitter`", {"twitter"}},
      {R"({"canonical":5})", "invalid type: integer `5`" + text, {"title"}},
      {R"({"og":"x"})", R"(invalid type: string "x", expected struct OGPayload)"},
      {R"({"twitter":5})", "invalid type: integer `5`, expected struct TwitterPayload"},
      {R"({"og":{"title":"t"}})", "missing field `type`"},
      {R"({"twitter":{"title":"t"}})", "missing field `card`"},
      {R"({"og":{"type":"w","image_width":4294967296}})",
       "invalid value: integer `4294967296`" + u32},
      {R"({"og":{"type":"w","image_height":-1}})", "invalid value: integer `-1`" + u32},
      {R"({"og":{"type":"w","image_width":1.0}})", "invalid type: floating point `1.0`" + u32},
      {R"({"og":{"type":"w","locale_alternate":"en"}})",
       R"(invalid type: string "en", expected a sequence)"},
      {R"({"og":{"type":"w","locale_alternate":["en",false]}})",
       "invalid type: boolean `false`" + text},
      {R"({"og":["w",null]})", "invalid length 2, expected struct OGPayload with 13 elements"},
      {R"({"twitter":["s",null,null,null,null,null,null,null]})",
       "invalid length 8, expected struct TwitterPayload with 7 elements"},
      {R"({"twitter":[null,null,null,null,null,null,null]})", "invalid type: unit value" + text},
  };
  for (const auto& c : cases) {
    const Json patch = parse(c.patch);
    Json input = patch;
    if (patch.is_object()) {
      input = parse(compact_json(minimal()));
      for (const auto& [name, value] : patch.items()) input[name] = value;
      for (const auto& name : c.erase) input.erase(name);
    }
    EXPECT_ERROR(SEOPayload::from_dict(input), ErrorKind::Serialization, c.message);
  }
}

}  // namespace
}  // namespace zoret
