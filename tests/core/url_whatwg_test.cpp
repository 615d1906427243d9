#include "zoret/url/whatwg.hpp"

#include <gtest/gtest.h>
#include <unicode/uversion.h>

#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "test_support.hpp"

namespace {

using namespace zoret::url;
using zoret::testing::HeapCopy;

UrlResult<ParsedUrl> parse_exact(std::string_view text) {
  return parse_url(HeapCopy(text).view());
}

// The WPT vectors of `name` (with no base, for urltestdata.json); empty without the folder.
std::vector<nlohmann::json> load_vectors(const char* name) {
  std::ifstream file(std::string(ZORET_TESTDATA_DIR) + "/wpt/" + name);
  std::vector<nlohmann::json> out;
  if (!file) return out;
  for (const auto& entry : nlohmann::json::parse(file)) {
    if (entry.is_object() && entry.value("base", nlohmann::json()).is_null()) out.push_back(entry);
  }
  return out;
}

std::string describe_result(const UrlResult<ParsedUrl>& r) {
  return r ? serialize(*r) : "failure: " + std::string(describe(r.error()));
}

// The WPT getters, computed from our record.
std::map<std::string, std::string> wpt_fields(const ParsedUrl& url) {
  std::string hostname = url.host.value_or("");
  std::string port = url.port ? std::to_string(*url.port) : "";
  return {
      {"href", serialize(url)}, {"protocol", url.scheme + ":"}, {"username", url.username},
      {"password", url.password}, {"hostname", hostname}, {"port", port},
      {"host", port.empty() ? hostname : hostname + ":" + port}, {"pathname", url.path},
      {"search", url.query && !url.query->empty() ? "?" + *url.query : ""},
      {"hash", url.fragment && !url.fragment->empty() ? "#" + *url.fragment : ""},
  };
}

TEST(ParseUrlConformance, WptVectorsWithoutBase) {
  const auto vectors = load_vectors("urltestdata.json");
  if (vectors.empty()) GTEST_SKIP() << "WPT vectors not present";
  int failures = 0;
  for (const auto& entry : vectors) {
    const std::string input = entry["input"];
    const auto result = parse_exact(input);
    const auto label = "input " + nlohmann::json(input).dump() + ": ";
    if (entry.value("failure", false)) {
      ++failures;
      EXPECT_FALSE(result) << label << "parsed as " << describe_result(result);
    } else if (!result) {
      ADD_FAILURE() << label << describe_result(result);
    } else {
      for (const auto& [field, actual] : wpt_fields(*result)) {
        if (!entry.contains(field)) continue;
        EXPECT_EQ(actual, entry[field].get<std::string>()) << label << field;
      }
    }
  }
  std::cout << "[ WPT      ] " << vectors.size() << " entries without base, " << failures
            << " expected failures\n";
}

// Serialising a parsed URL and parsing that again must be a fixed point; the
// "/." prefix and the encoded space before a query exist for exactly this.
TEST(ParseUrlConformance, SerialisationReparsesToSameUrl) {
  const auto vectors = load_vectors("urltestdata.json");
  if (vectors.empty()) GTEST_SKIP() << "WPT vectors not present";
  for (const auto& entry : vectors) {
    const auto first = parse_exact(entry["input"].get<std::string>());
    if (!first) continue;
    const std::string href = serialize(*first);
    const auto second = parse_exact(href);
    ASSERT_TRUE(second) << href;
    EXPECT_EQ(*second, *first) << href << " re-serialised as " << serialize(*second);
  }
}

TEST(ParseHostConformance, WptToAscii) {
  // Inputs that need UTS #46 15.1 (ICU 74 and later).
  const std::set<std::string> before_icu_74 = {
#if U_ICU_VERSION_MAJOR_NUM < 74
      "look\u180eout.net", "look\u206bout.net", "\u1e9e.com", "\u1e9e.foo.com",
      "\u04c0.com",        "\u2183.com",        "\U0002f868.com",
#endif
  };
  const auto vectors = load_vectors("toascii.json");
  if (vectors.empty()) GTEST_SKIP() << "WPT vectors not present";
  for (const auto& entry : vectors) {
    const std::string input = entry["input"];
    const auto result = parse_host(HeapCopy(input).view(), false);
    const std::string got = result ? *result : "(failure)";
    const std::string want =
        entry["output"].is_null() ? "(failure)" : entry["output"].get<std::string>();
    if (before_icu_74.contains(input)) {
      EXPECT_NE(got, want) << nlohmann::json(input) << " now passes; drop it from the list";
    } else {
      EXPECT_EQ(got, want) << "input " << nlohmann::json(input);
    }
  }
  std::cout << "[ WPT      ] " << vectors.size() << " toascii vectors, " << before_icu_74.size()
            << " known to differ with ICU " << U_ICU_VERSION_MAJOR_NUM << "\n";
}

// Each failure with its exact description and inputs that reach it.
TEST(ParseUrl, FailureKinds) {
  const std::pair<std::string_view, std::vector<std::string>> groups[] = {
      {"relative URL without a base", {"  \t ", "blog/post", "//example.com/x", "1http://a/"}},
      {"empty host",
       {"http://", "http://user@/x", "sc://user@/x", "https://:443/", "http://\u00ad/",
        "file://%C2%AD/"}},
      {"invalid domain character",
       {"http://a b/", "http://a%00b/", "http://www.lookout.net\u2a7480/", "sc://a<b/",
        "file://a:1/"}},
      {"invalid international domain name",
       {"http://xn--a.\u00df/", "http://\u200d.example/", "http://%ff.com/"}},
      {"invalid IPv4 address",
       {"http://1.2.3.256/", "http://256.1.1/", "http://1.2.3.4.5/", "http://0x100000000/",
        "http://999999999999999999999999/", "http://a.09/"}},
      {"invalid IPv6 address",
       {"http://[::1/", "http://[1:2:3:4:5:6:7:8:9]/", "http://[::1.2.3.04]/", "sc://[x]/"}},
      {"invalid port number",
       {"http://a:65536/", "http://a:8x/", "http://a:99999999999999999999999/"}},
  };
  for (const auto& [expected, inputs] : groups) {
    for (const std::string& input : inputs) {
      const auto result = parse_exact(input);
      ASSERT_FALSE(result) << input << " parsed as " << serialize(*result);
      EXPECT_EQ(describe(result.error()), expected) << nlohmann::json(input);
    }
  }
}

#if defined(__linux__)
// URLs are limited to 4 GiB, and longer input is refused before any of it is
// read: the pages are reserved but never touched.
TEST(ParseUrl, RefusesInputBeyondFourGiB) {
  const std::size_t size = (std::size_t{1} << 32) + 1;
  void* pages = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (pages == MAP_FAILED) GTEST_SKIP() << "cannot reserve 4 GiB of address space";
  const auto result = parse_url({static_cast<const char*>(pages), size});
  munmap(pages, size);
  ASSERT_FALSE(result);
  EXPECT_EQ(describe(result.error()), "URLs more than 4 GB are not supported");
}
#endif

TEST(ParseUrl, Serialisations) {
  const std::pair<const char*, const char*> rows[] = {
      // Stripping and tab/newline removal, which takes the copying path.
      {" \x01 HT\tTP://EXA\nMPLE.com:80/a/./b/../c?x y#z \x1f", "http://example.com/a/c?x%20y#z"},
      {"sc://h:0080/", "sc://h:80/"}, {"http://@host/", "http://host/"},
      {"sc:\\\\host\\a", "sc:\\\\host\\a"}, {"sc://%41%zz/", "sc://%41%zz/"},
      // ASCII hosts are only lower-cased, even with labels that are not Punycode.
      {"http://XN--A.example/", "http://xn--a.example/"},
      {"http://B%C3%BCcher.de/", "http://xn--bcher-kva.de/"},
      {"http://0x7f.1/", "http://127.0.0.1/"}, {"http://0300.0250.0.1./", "http://192.168.0.1/"},
      {"http://[0:0:0:0:1:0:0:0]/", "http://[::1:0:0:0]/"},
      {"http://[::ffff:192.168.0.1]/", "http://[::ffff:c0a8:1]/"},
      // The drive letter that ".." cannot remove.
      {"file://localhost/C|/x/../../..", "file:///C:/"},
      {"file:c:\\dir\\f", "file:///c:/dir/f"}, {"file://HOST/x", "file://host/x"},
      {"http://h/'^`{}|?'\"#`", "http://h/'%5E%60%7B%7D|?%27%22#%60"},
  };
  for (const auto& [input, href] : rows) {
    EXPECT_EQ(describe_result(parse_exact(input)), href) << nlohmann::json(input);
  }
}

TEST(ParseUrl, EmptyAndAbsentComponentsDiffer) {
  const auto with = parse_exact("sc://h?#");
  ASSERT_TRUE(with);
  EXPECT_TRUE(with->query == "" && with->fragment == "" && with->path.empty());
  const auto without = parse_exact("sc:x");
  ASSERT_TRUE(without);
  EXPECT_FALSE(without->host || without->query || without->fragment);
  EXPECT_TRUE(without->has_opaque_path);
}

TEST(ParseHost, OpaqueAndSpecialHostsDiffer) {
  const std::tuple<const char*, bool, const char*> rows[] = {
      // input, is_opaque, host (nullptr: failure)
      {"", true, ""}, {"", false, nullptr}, {"A%2E", true, "A%2E"}, {"A%2E", false, "a."},
      {"a%b", true, "a%b"}, {"a%b", false, nullptr}, {"[::]", true, "[::]"},
      {"1.0x2.3.4", false, "1.2.3.4"}, {"\u00df", true, "%C3%9F"}, {"\u00df", false, "xn--zca"},
  };
  for (const auto& [input, is_opaque, expected] : rows) {
    const auto result = parse_host(HeapCopy(input).view(), is_opaque);
    if (expected == nullptr) {
      EXPECT_FALSE(result) << input;
    } else {
      ASSERT_TRUE(result) << input;
      EXPECT_EQ(*result, expected);
    }
  }
}

// Long names go to ICU in pieces of whole labels; the Bidi rule, which binds every
// label of a name with a right-to-left one, must still see the whole name.
TEST(ParseHost, LongNamesAsIfWhole) {
  using zoret::testing::repeat;
  const std::string many = repeat("\u00e4.b.", 1500);  // 7,500 bytes, 3,000 labels
  const std::string ascii_many = repeat("xn--4ca.b.", 1500);
  const std::string alef = "\u05d0";
  const std::tuple<std::string, std::string> rows[] = {
      // input, host ("" for failure)
      {many + "c", ascii_many + "c"},
      {many + alef, ascii_many + "xn--4db"},
      {"0a." + many + alef, ""},  // "0a" breaks the Bidi rule, 7,500 bytes away
      {"0a." + many + "c", "0a." + ascii_many + "c"},
      {many + "\u0301a", ""},  // a leading combining mark
      {"0a.b.\u00e4." + alef, ""},  // the same rule, short enough for one call
  };
  for (const auto& [input, expected] : rows) {
    const auto result = parse_host(HeapCopy(input).view(), false);
    if (expected.empty()) {
      EXPECT_FALSE(result) << input.substr(0, 12);
    } else {
      ASSERT_TRUE(result) << input.substr(0, 12);
      EXPECT_EQ(*result, expected);
    }
  }
}

}  // namespace
