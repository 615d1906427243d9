#include "zoret/payload_output.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload_samples.hpp"
#include "test_support.hpp"
#include "zoret/detail/scratch_text.hpp"
#include "zoret/hashing.hpp"

namespace zoret {
namespace {

SEOPayload minimal() { return testing::minimal_payload(); }

std::string hash(const SEOPayload& payload) { return testing::value_of(hash_payload(payload)); }

TEST(HashPayload, DigestOfTheCompactText) {
  const std::string digest = "602d100f140124f6c67d29c612403a50b5f107839382f813868a12aeb969c6e3";
  EXPECT_EQ(hash(minimal()), digest);
  EXPECT_EQ(testing::value_of(sha256_hex(testing::compact_json(minimal()))), digest);
  EXPECT_EQ(testing::value_of(etag_payload(minimal())), "\"" + digest + "\"");
}

// The hash is written in the thread's scratch text; a caller already writing in it
// (as the binding does for its snippets) keeps its text, and each gets the same hash.
TEST(HashPayload, ScratchTextHeldByTheCallerIsLeftAlone) {
  const std::string alone = hash(minimal());
  std::string seen_inside;
  {
    detail::ScratchText outer;
    outer.text() = "caller's text";
    EXPECT_EQ(hash(minimal()), alone);
    {
      detail::ScratchText inner;
      EXPECT_TRUE(inner.text().empty());
      inner.text() = "inner";
      seen_inside = outer.text();
    }
    EXPECT_EQ(outer.text(), "caller's text");
  }
  EXPECT_EQ(seen_inside, "caller's text");
  {
    detail::ScratchText again;
    EXPECT_TRUE(again.text().empty());
    again.text().assign(std::size_t{1} << 20, 'x');
  }
  detail::ScratchText after_huge;
  EXPECT_LT(after_huge.text().capacity(), std::size_t{1} << 20);
  EXPECT_EQ(hash(minimal()), alone);
}

TEST(HashPayload, EveryVisibleChangeChangesTheHash) {
  const struct {
    const char* name;
    void (*change)(SEOPayload&);
  } cases[] = {
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
    // The forms that take the JSON-LD text written before give the same bytes.
    const std::string jsonld = jsonld_text(changed);
    EXPECT_EQ(testing::value_of(hash_payload(changed, jsonld)), digest) << c.name;
    EXPECT_EQ(to_json_pretty(changed, jsonld), to_json_pretty(changed)) << c.name;
  }
}

TEST(ToJsonPretty, IndentsNestedValuesAndPutsExtraLast) {
  SEOPayload p = minimal();
  p.og.locale_alternate.emplace();
  p.og.image_width = 10;
  p.schema_jsonld = *parse_json(R"({"b":[1,{}],"a":"x"})");
  p.extra.emplace("custom", json_uint(1));
  EXPECT_EQ(to_json_pretty(p),
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
}

}  // namespace
}  // namespace zoret
