#include "zoret/check/page_facts.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload_samples.hpp"

namespace zoret {
namespace {

using testing::parse;

TEST(FactsFromPayload, ReadsTheHeadTheRendererWrites) {
  SEOPayload payload = testing::minimal_payload(" noindex,, max-snippet:5 ,\tfollow");
  payload.title = "";
  payload.description = "D";
  payload.canonical = "https://example.com/a";
  payload.og.title = "OT";
  payload.og.image = "I";
  payload.og.image_width = 1200;
  payload.og.locale_alternate = std::vector<std::string>{"de_DE", "fr_FR"};
  payload.og.video = "V";
  payload.twitter.creator = "@c";
  payload.twitter.title = "TT";
  payload.schema_jsonld = parse(R"([{"@type":"A"},{"@type":"B"}])");

  PageFacts expected;
  expected.route = "/a";
  expected.title = "";
  expected.description = "D";
  expected.canonical = "https://example.com/a";
  expected.robots = {"noindex", "max-snippet:5", "follow"};
  expected.properties = {{"og:type", "website"},        {"og:title", "OT"},
                         {"og:image", "I"},             {"og:image:width", "1200"},
                         {"og:locale:alternate", "de_DE"}, {"og:locale:alternate", "fr_FR"},
                         {"og:video", "V"},             {"twitter:card", "summary"},
                         {"twitter:title", "TT"},       {"twitter:creator", "@c"}};
  expected.jsonld = {parse(R"([{"@type":"A"},{"@type":"B"}])")};
  EXPECT_EQ(facts_from_payload(payload, "/a?page=2#top"), expected);

  // An empty description is no tag, as in the head; so is an empty canonical.
  payload.description.clear();
  payload.canonical.clear();
  payload.schema_jsonld.reset();
  PageFacts moved = facts_from_payload(std::move(payload), "/a");
  EXPECT_FALSE(moved.description);
  EXPECT_FALSE(moved.canonical);
  EXPECT_TRUE(moved.jsonld.empty());
  EXPECT_FALSE(moved.status || moved.url || moved.hreflang || moved.in_sitemap);
}

TEST(SplitRobots, TrimsPiecesAndDropsEmptyOnes) {
  const std::pair<const char*, std::vector<std::string>> rows[] = {
      {"", {}}, {" , ,", {}}, {"index,follow", {"index", "follow"}},
      {"\xe2\x80\x83noindex\n, NOFOLLOW ", {"noindex", "NOFOLLOW"}},
      {"max-image-preview:large,", {"max-image-preview:large"}},
  };
  for (const auto& [text, pieces] : rows) EXPECT_EQ(split_robots(text), pieces) << text;
}

}  // namespace
}  // namespace zoret
