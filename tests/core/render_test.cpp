#include "zoret/render.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload_samples.hpp"
#include "test_support.hpp"

namespace zoret {
namespace {

using testing::parse;
using testing::value_of;

SEOPayload minimal() { return testing::minimal_payload("R"); }

TEST(EscapeHtml, ReplacesTheFiveSpecialCharacters) {
  const std::pair<const char*, const char*> cases[] = {
      {R"(a&b<c>d"e'f)", "a&amp;b&lt;c&gt;d&quot;e&#x27;f"}, {"&lt;", "&amp;lt;"},
      {"caf\xC3\xA9 \xE2\x80\x94 /\\`=", "caf\xC3\xA9 \xE2\x80\x94 /\\`="},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(escape_html(in), out) << in;
}

// Every length up to past two wide loads, with a special character at every offset.
TEST(EscapeHtml, FindsSpecialsAtEveryOffset) {
  const std::string_view fillers = "abcdefghijklmnopqrstuvwxyz\xC3\xA9\xE2\x80\x94/=`0123456789";
  const std::pair<char, std::string_view> specials[] = {
      {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#x27;"}};
  for (std::size_t size = 1; size <= fillers.size(); ++size) {
    const std::string filler(fillers.substr(0, size));
    EXPECT_EQ(escape_html(filler), filler);
    for (const auto& [special, escaped] : specials) {
      for (std::size_t at = 0; at < size; ++at) {
        std::string input = filler;
        std::string expected = filler;
        input[at] = special;
        expected.replace(at, 1, escaped);
        EXPECT_EQ(escape_html(input), expected) << "size " << size << " offset " << at;
      }
    }
  }
}

TEST(RenderHtml, MinimalPayloadIsFiveLines) {
  EXPECT_EQ(render_html(minimal()),
            "<title>T</title>\n"
            "<link rel=\"canonical\" href=\"C\">\n"
            "<meta name=\"robots\" content=\"R\">\n"
            "<meta property=\"og:type\" content=\"website\">\n"
            "<meta name=\"twitter:card\" content=\"summary\">\n");
}

TEST(RenderHtml, RichPayloadOneTagPerLine) {
  SEOPayload p = minimal();
  p.title = R"(Tom & "Jerry's" <b>)";
  p.description = "D\xC3\xA9";
  p.og = {"website", "",    "OD",    "https://e.com/a?x=1&y=2", "https://e.com/i.png", 1200, 630,
          "alt",     "Site", "en_US", std::vector<std::string>{"de_DE", "fr_FR"}, "a.mp3", "v.mp4"};
  p.twitter = {"summary", "TT", "TD", "ti.png", "talt", "@s", "@c"};
  p.schema_jsonld = parse(R"({"@type":"Article","name":"</script>"})");
  EXPECT_EQ(render_html(p),
            "<title>Tom &amp; &quot;Jerry&#x27;s&quot; &lt;b&gt;</title>\n"
            "<meta name=\"description\" content=\"D\xC3\xA9\">\n"
            "<link rel=\"canonical\" href=\"C\">\n"
            "<meta name=\"robots\" content=\"R\">\n"
            "<meta property=\"og:type\" content=\"website\">\n"
            "<meta property=\"og:title\" content=\"\">\n"
            "<meta property=\"og:description\" content=\"OD\">\n"
            "<meta property=\"og:url\" content=\"https://e.com/a?x=1&amp;y=2\">\n"
            "<meta property=\"og:image\" content=\"https://e.com/i.png\">\n"
            "<meta property=\"og:image:width\" content=\"1200\">\n"
            "<meta property=\"og:image:height\" content=\"630\">\n"
            "<meta property=\"og:image:alt\" content=\"alt\">\n"
            "<meta property=\"og:site_name\" content=\"Site\">\n"
            "<meta property=\"og:locale\" content=\"en_US\">\n"
            "<meta property=\"og:locale:alternate\" content=\"de_DE\">\n"
            "<meta property=\"og:locale:alternate\" content=\"fr_FR\">\n"
            "<meta property=\"og:audio\" content=\"a.mp3\">\n"
            "<meta property=\"og:video\" content=\"v.mp4\">\n"
            "<meta name=\"twitter:card\" content=\"summary\">\n"
            "<meta name=\"twitter:title\" content=\"TT\">\n"
            "<meta name=\"twitter:description\" content=\"TD\">\n"
            "<meta name=\"twitter:image\" content=\"ti.png\">\n"
            "<meta name=\"twitter:image:alt\" content=\"talt\">\n"
            "<meta name=\"twitter:site\" content=\"@s\">\n"
            "<meta name=\"twitter:creator\" content=\"@c\">\n"
            "<script type=\"application/ld+json\">\n{\n  \"@type\": \"Article\",\n"
            "  \"name\": \"<\\/script>\"\n}\n</script>\n");
}

TEST(RenderBlocks, OnlyPresentFieldsAndNoFinalNewline) {
  SEOPayload p = minimal();
  p.og.image_width = 640;
  p.og.locale_alternate = std::vector<std::string>{};
  p.twitter.site = "";
  EXPECT_EQ(render_opengraph(p),
            "<meta property=\"og:type\" content=\"website\">\n"
            "<meta property=\"og:image:width\" content=\"640\">");
  EXPECT_EQ(render_twitter(p),
            "<meta name=\"twitter:card\" content=\"summary\">\n"
            "<meta name=\"twitter:site\" content=\"\">");
  EXPECT_EQ(render_jsonld(minimal()), "");
}

TEST(RenderJsonld, CannotCloseOrDoubleEscapeTheScript) {
  const std::pair<const char*, const char*> cases[] = {
      {R"(["</script>"])", "[\n  \"<\\/script>\"\n]"},
      {R"(["</SCRIPT></"])", "[\n  \"<\\/SCRIPT><\\/\"\n]"},
      {R"(["< /script>"])", "[\n  \"< /script>\"\n]"},
      {R"(["<!--<script>"])", "[\n  \"\\u003c!--<script>\"\n]"},
      {R"(["<!-<!--<</"])", "[\n  \"<!-\\u003c!--<<\\/\"\n]"},
      {R"(["a/b", 1.0, "\u00e9"])", "[\n  \"a/b\",\n  1.0,\n  \"\xC3\xA9\"\n]"},
  };
  SEOPayload p = minimal();
  for (const auto& [json, body] : cases) {
    p.schema_jsonld = parse(json);
    EXPECT_EQ(render_jsonld(p),
              "<script type=\"application/ld+json\">\n" + std::string(body) + "\n</script>")
        << json;
  }
}

}  // namespace
}  // namespace zoret
