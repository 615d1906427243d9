#include "zoret/render.hpp"

#include <gtest/gtest.h>

#include "payload_samples.hpp"

#include <string>
#include <vector>

namespace zoret {
namespace {

using testing::parse;

SEOPayload minimal() { return testing::minimal_payload("R"); }

std::string html(const SEOPayload& payload) {
  const auto text = render_html(payload);
  EXPECT_TRUE(text.has_value());
  return text ? *text : std::string();
}

std::string jsonld(const Json& value) {
  SEOPayload p = minimal();
  p.schema_jsonld = value;
  const auto text = render_jsonld(p);
  EXPECT_TRUE(text.has_value());
  return text ? *text : std::string();
}

TEST(EscapeHtml, ReplacesTheFiveSpecialCharacters) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {R"(a&b<c>d"e'f)", "a&amp;b&lt;c&gt;d&quot;e&#x27;f"},
      {"&lt;", "&amp;lt;"},
      {"<<>>", "&lt;&lt;&gt;&gt;"},
      {"caf\xC3\xA9 \xE2\x80\x94 /\\`=", "caf\xC3\xA9 \xE2\x80\x94 /\\`="},
  };
  for (const auto& c : cases) EXPECT_EQ(escape_html(c.in), c.out) << c.in;
}

TEST(RenderHtml, MinimalPayloadIsFiveLines) {
  EXPECT_EQ(html(minimal()),
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
  p.og.title = "";
  p.og.description = "OD";
  p.og.url = "https://e.com/a?x=1&y=2";
  p.og.image = "https://e.com/i.png";
  p.og.image_width = 1200;
  p.og.image_height = 630;
  p.og.image_alt = "alt";
  p.og.site_name = "Site";
  p.og.locale = "en_US";
  p.og.locale_alternate = std::vector<std::string>{"de_DE", "fr_FR"};
  p.og.audio = "a.mp3";
  p.og.video = "v.mp4";
  p.twitter.title = "TT";
  p.twitter.description = "TD";
  p.twitter.image = "ti.png";
  p.twitter.image_alt = "talt";
  p.twitter.site = "@s";
  p.twitter.creator = "@c";
  p.schema_jsonld = parse(R"({"@type":"Article","name":"</script>"})");
  EXPECT_EQ(html(p),
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
            "<script type=\"application/ld+json\">\n"
            "{\n"
            "  \"@type\": \"Article\",\n"
            "  \"name\": \"<\\/script>\"\n"
            "}\n"
            "</script>\n");
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
  const auto none = render_jsonld(minimal());
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(*none, "");
}

TEST(RenderJsonld, CannotCloseOrDoubleEscapeTheScript) {
  const struct {
    const char* json;
    const char* body;
  } cases[] = {
      {"{}", "{}"},
      {R"({"a":[[]]})", "{\n  \"a\": [\n    []\n  ]\n}"},
      {R"(["</script>"])", "[\n  \"<\\/script>\"\n]"},
      {R"(["</SCRIPT></"])", "[\n  \"<\\/SCRIPT><\\/\"\n]"},
      {R"(["< /script>"])", "[\n  \"< /script>\"\n]"},
      {R"(["<!--<script>"])", "[\n  \"\\u003c!--<script>\"\n]"},
      {R"(["<!-<!--<</"])", "[\n  \"<!-\\u003c!--<<\\/\"\n]"},
      {R"(["a/b", 1.0, "\u00e9"])", "[\n  \"a/b\",\n  1.0,\n  \"\xC3\xA9\"\n]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(jsonld(parse(c.json)),
              std::string("<script type=\"application/ld+json\">\n") + c.body + "\n</script>")
        << c.json;
  }
}

// The escapes must leave the JSON itself unchanged for consumers that parse it.
TEST(RenderJsonld, ScriptBodyReadsBackAsTheSameJson) {
  const Json value = parse(R"({"a":"x</y<!--<script></script>","b":["<!--","</"]})");
  const std::string text = jsonld(value);
  const std::string open = "<script type=\"application/ld+json\">\n";
  const std::string close = "\n</script>";
  ASSERT_TRUE(text.starts_with(open) && text.ends_with(close));
  const std::string body = text.substr(open.size(), text.size() - open.size() - close.size());
  EXPECT_EQ(body.find("</"), std::string::npos);
  EXPECT_EQ(body.find("<!--"), std::string::npos);
  const auto back = parse_json(body);
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(json_equal(*back, value));
}

}  // namespace
}  // namespace zoret
