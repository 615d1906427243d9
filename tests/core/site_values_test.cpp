// The value checks and encodings shared by the site outputs: XML escaping, URI
// references, lastmod dates and language tags.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zoret/site/language_tag.hpp"
#include "zoret/site/lastmod.hpp"
#include "zoret/site/uri_reference.hpp"
#include "zoret/site/xml_text.hpp"

namespace zoret::site {
namespace {

using namespace std::string_literals;

struct Row {
  std::string input;
  std::string expected;  // the output, or the reason given for a refusal
  bool ok = true;
};

// Refusals read `<what> "<input>": <reason>`, the input shown as it is (no
// control characters among these rows).
template <class Fn>
void check_table(const std::vector<Row>& rows, Fn fn, const std::string& what = "") {
  for (const Row& row : rows) {
    auto result = fn(row.input);
    if (row.ok) {
      ASSERT_TRUE(result) << row.input << ": " << result.error().display();
      EXPECT_EQ(*result, row.expected) << row.input;
    } else {
      ASSERT_FALSE(result) << row.input << " gave " << *result;
      const std::string message =
          what.empty() ? row.expected : what + " \"" + row.input + "\": " + row.expected;
      EXPECT_EQ(result.error().message(), message) << row.input;
    }
  }
}

TEST(AppendEscapedXml, ReplacesTheFiveSpecialCharacters) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"", ""}, {"<>\"'&", "&lt;&gt;&quot;&apos;&amp;"}, {"&amp;", "&amp;amp;"},
      {"caf\xC3\xA9 ?q=1&r=2", "caf\xC3\xA9 ?q=1&amp;r=2"},
  };
  for (const auto& [input, expected] : rows) {
    std::string out = "x";
    append_escaped_xml(out, input);
    EXPECT_EQ(out, "x" + expected) << input;
  }
}

TEST(EncodeUriReference, EncodesWhatAUriCannotHoldAndRefusesControls) {
  const std::string e = "https://example.com/";
  check_table(
      {
          {e + "a/b?x=1&y=2#f", e + "a/b?x=1&y=2#f"}, {e + "a b", e + "a%20b"},
          {e + "caf\xC3\xA9", e + "caf%C3%A9"}, {e + "a%20b%zz%", e + "a%20b%25zz%25"},
          {e + "<x>\"{|}\\^`[]", e + "%3Cx%3E%22%7B%7C%7D%5C%5E%60%5B%5D"},
          {e + "a>; rel=\"x\"", e + "a%3E;%20rel=%22x%22"},
          {"https://b\xC3\xBC" "cher.example:8443/p", "https://xn--bcher-kva.example:8443/p"},
          {"https://[::1]:8080/a b", "https://[::1]:8080/a%20b"},
          {e + "a\r\nSet-Cookie: x=1",
           "URL contains the control character U+000D: \"" + e + "a\\r\\nSet-Cookie: x=1\"", false},
          {e + "\x7F", "URL contains the control character U+007F: \"" + e + "\\x7f\"", false},
          {"https://exa mple.com/",
           "URL authority contains a character that is not allowed there: "
           "\"https://exa mple.com/\"",
           false},
          {"https://xn--a.\xC3\x9F/p",
           "URL host cannot be converted to ASCII: invalid international domain name: "
           "\"https://xn--a.\xC3\x9F/p\"",
           false},
      },
      [](const std::string& s) { return encode_uri_reference(s); });
}

TEST(NormalizeLastmod, AcceptsW3cDatetimesAndCompletesThemForTheSchema) {
  check_table(
      {
          {"2024", "2024-01-01"}, {"2024-05", "2024-05-01"}, {"2024-02-29", "2024-02-29"},
          {"2000-02-29", "2000-02-29"}, {"0001-01-01", "0001-01-01"},
          {"2024-05-06T07:08Z", "2024-05-06T07:08:00Z"},
          {"2024-05-06T07:08+02:00", "2024-05-06T07:08:00+02:00"},
          {"2024-05-06T07:08:09Z", "2024-05-06T07:08:09Z"},
          {"2024-05-06T23:59:59.123456-14:00", "2024-05-06T23:59:59.123456-14:00"},
          {"2024-12-31T00:00:00+14:00", "2024-12-31T00:00:00+14:00"},
      },
      normalize_lastmod);
}

TEST(NormalizeLastmod, RefusesNonsenseNamingTheValue) {
  const std::string forms =
      "expected YYYY, YYYY-MM, YYYY-MM-DD or YYYY-MM-DDThh:mm[:ss[.s]] with Z or an offset "
      "+hh:mm/-hh:mm";
  check_table(
      {
          {"2024-13-01", "month 13 is out of range 01-12", false},
          {"2023-02-29", "day 29 does not exist in February 2023", false},
          {"1900-02-29", "day 29 does not exist in February 1900", false},
          {"2024-02-30", "day 30 does not exist in February 2024", false},
          {"2024-04-31", "day 31 does not exist in April 2024", false},
          {"2024-01-01T24:00:00Z", "hour 24 is out of range 00-23", false},
          {"2024-01-01T10:60Z", "minute 60 is out of range 00-59", false},
          {"2024-01-01T10:00:60Z", "second 60 is out of range 00-59", false},
          {"2024-01-01T10:00+25:00", "offset 25:00 is out of range (at most 14:00)", false},
          {"2024-01-01T10:00-14:01", "offset 14:01 is out of range (at most 14:00)", false},
          {"2024-01-01T10:00:00", "a time needs \"Z\" or an offset such as +01:00", false},
          {"2024-01-01T10:00:00.Z", "a decimal point needs at least one digit after it", false},
          {"0000-01-01", "year 0000 does not exist", false},
          {"", forms, false}, {"2024-1-01", forms, false}, {"2024-01-01 10:00Z", forms, false},
          {"2024-01-01t10:00z", forms, false}, {"2024-01-01T10Z", forms, false},
          {"2024-01-01+02:00", forms, false}, {"2024-01-01T10:00+0200", forms, false},
          {"2024-01-01T10:00Zjunk", forms, false},
      },
      normalize_lastmod, "lastmod");
  // A control character is shown escaped.
  EXPECT_EQ(normalize_lastmod("2024-01-01\n").error().message(),
            "lastmod \"2024-01-01\\n\": " + forms);
}

TEST(CanonicalLanguageTag, CanonicalisesWellFormedTags) {
  check_table(
      {
          {"en", "en"}, {"EN", "en"}, {"en-us", "en-US"}, {"zh-hant-tw", "zh-Hant-TW"},
          {"SR-LATN-rs", "sr-Latn-RS"}, {"es-419", "es-419"}, {"de-ch-1996", "de-CH-1996"},
          {"iw", "he"}, {"fil", "fil"}, {"x-default", "x-default"}, {"X-Default", "x-default"},
      },
      canonical_language_tag);
}

TEST(CanonicalLanguageTag, RefusesTagsHreflangCannotUse) {
  const std::string chars = "only ASCII letters, digits and \"-\" may appear in a tag";
  const std::string syntax = "it is not a well-formed BCP 47 tag";
  const std::string no_language = "it names no language";
  const std::string extension = "extensions and private-use subtags are not used by hreflang";
  check_table(
      {
          {"", "it is empty", false}, {"e", syntax, false}, {"en_US", chars, false},
          {"en US", chars, false}, {"fran\xC3\xA7" "ais", chars, false}, {"en-", syntax, false},
          {"-en", syntax, false}, {"en--US", syntax, false}, {"123", syntax, false},
          {"de-DE-1901-1901", syntax, false},
          {"english", "the language subtag must have two or three letters", false},
          {"und", no_language, false}, {"x-foo", no_language, false},
          {"x-default-en", no_language, false}, {"en-US-u-ca-gregory", extension, false},
          {"en-x-private", extension, false},
          {std::string(65, 'a'), "it is longer than 64 characters", false},
      },
      canonical_language_tag, "invalid language tag");
}

}  // namespace
}  // namespace zoret::site
