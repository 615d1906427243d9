#include "zoret/payload_output.hpp"

#include <gtest/gtest.h>

#include "payload_samples.hpp"

#include <string>
#include <vector>

#include "zoret/hashing.hpp"

namespace zoret {
namespace {

SEOPayload minimal() { return testing::minimal_payload(); }

std::string compact(const SEOPayload& payload) {
  std::string out;
  JsonWriter writer(out, /*pretty=*/false);
  write_json(writer, payload);
  return out;
}

std::string hash(const SEOPayload& payload) {
  const auto digest = hash_payload(payload);
  EXPECT_TRUE(digest.has_value());
  return digest ? *digest : std::string();
}

TEST(HashPayload, DigestOfTheCompactText) {
  constexpr std::string_view kText =
      R"({"title":"T","description":"","canonical":"C","robots":"index,follow",)"
      R"("og":{"type":"website"},"twitter":{"card":"summary"}})";
  EXPECT_EQ(compact(minimal()), kText);
  EXPECT_EQ(hash(minimal()), "602d100f140124f6c67d29c612403a50b5f107839382f813868a12aeb969c6e3");
  const auto direct = sha256_hex(kText);
  ASSERT_TRUE(direct.has_value());
  EXPECT_EQ(hash(minimal()), *direct);

  const auto etag = etag_payload(minimal());
  ASSERT_TRUE(etag.has_value());
  EXPECT_EQ(*etag, "\"" + hash(minimal()) + "\"");
  EXPECT_EQ(etag->size(), 66u);
}

TEST(HashPayload, EveryVisibleChangeChangesTheHash) {
  const struct {
    const char* name;
    void (*change)(SEOPayload&);
  } cases[] = {
      {"one byte", [](SEOPayload& p) { p.robots = "index,follov"; }},
      {"jsonld added", [](SEOPayload& p) { p.schema_jsonld = Json::object(); }},
      {"jsonld 1.0", [](SEOPayload& p) { p.schema_jsonld = Json::array({Json(1.0)}); }},
      {"jsonld 1", [](SEOPayload& p) { p.schema_jsonld = Json::array({json_uint(1)}); }},
      {"empty locale list", [](SEOPayload& p) { p.og.locale_alternate.emplace(); }},
      {"empty twitter site", [](SEOPayload& p) { p.twitter.site = ""; }},
      {"extra", [](SEOPayload& p) { p.extra.emplace("custom", json_uint(1)); }},
  };
  std::vector<std::string> seen = {hash(minimal())};
  for (const auto& c : cases) {
    SEOPayload changed = minimal();
    c.change(changed);
    const std::string digest = hash(changed);
    for (const auto& other : seen) EXPECT_NE(digest, other) << c.name;
    seen.push_back(digest);
    EXPECT_EQ(hash(changed), digest) << c.name;
  }
}

TEST(ToJsonPretty, IndentsNestedValuesAndPutsExtraLast) {
  SEOPayload p = minimal();
  p.og.locale_alternate.emplace();
  p.og.image_width = 10;
  p.schema_jsonld = *parse_json(R"({"b":[1,{}],"a":"x"})");
  p.extra.emplace("custom", json_uint(1));
  const auto text = to_json_pretty(p);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text,
            "{\n"
            "  \"title\": \"T\",\n"
            "  \"description\": \"\",\n"
            "  \"canonical\": \"C\",\n"
            "  \"robots\": \"index,follow\",\n"
            "  \"og\": {\n"
            "    \"type\": \"website\",\n"
            "    \"image_width\": 10,\n"
            "    \"locale_alternate\": []\n"
            "  },\n"
            "  \"twitter\": {\n"
            "    \"card\": \"summary\"\n"
            "  },\n"
            "  \"schema_jsonld\": {\n"
            "    \"a\": \"x\",\n"
            "    \"b\": [\n"
            "      1,\n"
            "      {}\n"
            "    ]\n"
            "  },\n"
            "  \"custom\": 1\n"
            "}");
  EXPECT_NE(hash(p), *sha256_hex(*text));
}

}  // namespace
}  // namespace zoret
