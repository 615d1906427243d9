#include "zoret/detrack.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace zoret {
namespace {

using Params = std::map<std::string, std::string>;

TEST(CleanQuery, DropsTrackingPairsOnly) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {"", ""}, {"utm_source=x", ""}, {"a=1&utm_source=x&b=2", "a=1&b=2"},
      {"UTM_SOURCE=x&a=1", "a=1"}, {"utm%5Fsource=x&a=1", "a=1"}, {"utm%5fsource=x&a=1", "a=1"},
      {"utm+source=x", "utm+source=x"}, {"fbclid&a=1", "a=1"}, {"a&b", "a&b"},
      {"a=1&&b=2", "a=1&&b=2"}, {"a=1&", "a=1&"}, {"utm_source=1&", ""},
      {"?utm_source=x&a=1", "?utm_source=x&a=1"},
      {"utm_foo=1&xutm_source=1", "utm_foo=1&xutm_source=1"},
      {"utm_social-type=1&asp.net_sessionid=2", ""}, {"&gclid=1&a=%zz&", "&a=%zz&"},
      {"a=b=c&_ga=1=2", "a=b=c"},
  };
  for (const auto& [query, expected] : rows) EXPECT_EQ(clean_query(query), expected) << query;
}

TEST(CleanQuery, RemovesEveryBuiltInNameInAnyAsciiCase) {
  for (const std::string_view name : kTrackingParams) {
    ASSERT_FALSE(name.empty());
    std::string upper(name);
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    EXPECT_EQ(clean_query("keep=1&" + std::string(name) + "=v&" + upper), "keep=1") << name;
  }
}

TEST(CleanUrl, SplitsRecordsAndRebuilds) {
  const std::tuple<std::string_view, std::string_view, Params, Params> rows[] = {
      // URL, cleaned URL, removed pairs, kept pairs
      {"/a", "/a", {}, {}}, {"/a?", "/a", {}, {}},
      {"/a?utm_source=x", "/a", {{"utm_source", "x"}}, {}},
      {"/a?utm_source=news&id=7&UTM_Medium=mail#top", "/a?id=7",
       {{"UTM_Medium", "mail#top"}, {"utm_source", "news"}}, {{"id", "7"}}},
      {"/a?id=7#top", "/a?id=7#top", {}, {{"id", "7#top"}}},
      {"/a?x=1&x=2", "/a?x=1&x=2", {}, {{"x", "2"}}}, {"/a?=5&fbclid", "/a?=5", {}, {{"", "5"}}},
      {"/a?p=%41", "/a?p=%41", {}, {{"p", "%41"}}},
      {"/a#b?utm_source=1", "/a#b", {{"utm_source", "1"}}, {}},
      {"https://h/p?a=1?b=2&gclid=", "https://h/p?a=1?b=2", {{"gclid", ""}}, {{"a", "1?b=2"}}},
      {"/a?Utm_Source=1&utm%5Fsource=2", "/a", {{"Utm_Source", "1"}, {"utm%5Fsource", "2"}}, {}},
  };
  for (const auto& [url, expected_url, removed, cleaned] : rows) {
    const CleanResult result = clean_url(url);
    EXPECT_EQ(result.url, expected_url) << url;
    EXPECT_EQ(result.removed_params, removed) << url;
    EXPECT_EQ(result.cleaned_params, cleaned) << url;
  }
}

TEST(CleanUrl, MapsIterateInByteOrder) {
  const CleanResult result = clean_url("/?b=1&a=2&B=3&\xC3\xA4=4&_=5");
  std::vector<std::string> keys;
  for (const auto& [key, value] : result.cleaned_params) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"B", "_", "a", "b", "\xC3\xA4"}));
}

TEST(DecodedKey, DecodesLikeAFormName) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {"", ""}, {"a+b", "a b"}, {"%41%62%2B", "Ab+"}, {"%7e%7E", "~~"}, {"%", "%"}, {"%4", "%4"},
      {"%G1", "%G1"}, {"%%41", "%A"}, {"%C3%A4", "\xC3\xA4"}, {"%C3", "\xEF\xBF\xBD"},
      {"%F0%80%80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, {"\xFF" "a", "\xEF\xBF\xBD" "a"},
      {"%00", std::string_view("\0", 1)},
  };
  for (const auto& [raw, expected] : rows) EXPECT_EQ(decoded_key(raw), expected) << raw;
}

TEST(IsTrackingParamWith, MatchesBuiltInThenExtraNames) {
  const std::vector<std::string> extra = {"ref", "Session-ID", "caf\xC3\xA9"};
  const std::tuple<std::string_view, bool, bool> rows[] = {
      // key, built-in, built-in or extra
      {"gclid", true, true}, {"GCLID", true, true}, {"ref", false, true}, {"REF", false, true},
      {"session-id", false, true}, {"referrer", false, false}, {"re", false, false},
      {"", false, false}, {"utm_", false, false}, {" gclid", false, false},
      // Only ASCII letters fold: the capital E with acute stays distinct.
      {"CAF\xC3\xA9", false, true}, {"CAF\xC3\x89", false, false},
      {"_\xE2\x84\xAAx", false, false},  // KELVIN SIGN lower-cases to "k" only in full mapping
  };
  for (const auto& [key, builtin, with_extra] : rows) {
    EXPECT_EQ(is_tracking_param(key), builtin) << key;
    EXPECT_EQ(is_tracking_param_with(key, extra), with_extra) << key;
  }
}

}  // namespace
}  // namespace zoret
