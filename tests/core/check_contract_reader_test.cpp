#include "zoret/check/contract_reader.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.hpp"
#include "zoret/contract/builder.hpp"

namespace zoret {
namespace {

using testing::HeapCopy;
using testing::value_of;

SEOContract round_trip(const SEOContract& contract, bool pretty) {
  const std::string text = pretty ? contract_to_json(contract) : contract_to_compact_json(contract);
  return value_of(read_contract(HeapCopy(text).view()));
}

// Contracts built at random from a fixed seed, every field and both nesting kinds
// among them: whatever the writer writes, the reader gives back.
class ContractGenerator {
 public:
  explicit ContractGenerator(unsigned seed) : random_(seed) {}

  SEOContract contract() {
    SEOContractConfig config{.canonical_host = text(), .scheme = text(), .defaults = expectation(2)};
    for (int i = pick(4); i > 0; --i) {
      SEOContractRule rule{.match = text(), .expect = expectation(2)};
      if (coin()) rule.severity = static_cast<ContractSeverity>(pick(2));
      config.rules.push_back(std::move(rule));
    }
    for (int i = pick(3); i > 0; --i) config.exceptions[text()] = expectation(2);
    return build_contract(config);
  }

 private:
  int pick(int max) { return std::uniform_int_distribution<int>(0, max)(random_); }
  bool coin() { return pick(1) == 1; }

  std::string text() {
    static const std::vector<std::string> kPieces = {
        "a", "/", "*", "\"", "\\", "\n", "\x01", "\xc3\xa9", "\xf0\x9d\x84\x9e", "\xe2\x80\xa8", " "};
    std::string out;
    for (int i = pick(6); i > 0; --i) out += kPieces[pick(static_cast<int>(kPieces.size()) - 1)];
    return out;
  }

  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (int i = pick(3); i > 0; --i) out.push_back(text());
    return out;
  }

  template <class T, class Make>
  std::optional<T> maybe(Make make) {
    return coin() ? std::optional<T>(make()) : std::nullopt;
  }

  SEOExpectation expectation(int depth) {
    auto flag = [this] { return coin(); };
    auto number = [this] {
      return coin() ? UINT64_MAX : static_cast<std::uint64_t>(pick(1000));
    };
    auto str = [this] { return text(); };
    auto field = [this] { return FieldExpectation{.required = maybe<bool>([this] { return coin(); })}; };
    SEOExpectation e{
        .required = maybe<bool>(flag), .forbidden = maybe<bool>(flag),
        .equals = maybe<std::string>(str), .not_equals = maybe<std::string>(str),
        .contains = maybe<std::string>(str), .matches = maybe<std::string>(str),
        .one_of = maybe<std::vector<std::string>>([this] { return texts(); }),
        .min_length = maybe<std::uint64_t>(number), .max_length = maybe<std::uint64_t>(number),
        .min_items = maybe<std::uint64_t>(number), .max_items = maybe<std::uint64_t>(number),
        .indexable = maybe<bool>(flag), .canonical = maybe<std::string>(str),
        .schema = maybe<SchemaExpectation>([&] {
          return SchemaExpectation{.required = maybe<bool>(flag),
                                   .types = maybe<std::vector<std::string>>([this] { return texts(); })};
        }),
        .open_graph = maybe<FieldExpectation>(field), .twitter = maybe<FieldExpectation>(field),
        .sitemap = maybe<FieldExpectation>(field), .hreflang = maybe<FieldExpectation>(field)};
    if (depth > 0 && coin()) e.title = expectation(depth - 1);
    if (depth > 0 && coin()) e.description = expectation(depth - 1);
    return e;
  }

  std::mt19937 random_;
};

TEST(ReadContract, RoundTripsGeneratedContracts) {
  ContractGenerator generate(20260314);
  for (int i = 0; i < 300; ++i) {
    const SEOContract contract = generate.contract();
    ASSERT_EQ(round_trip(contract, i % 2 == 0), contract) << contract_to_json(contract);
  }
}

TEST(ReadContract, OptionalSectionsDefaultToEmpty) {
  const SEOContract contract = value_of(read_contract(
      R"({"site":{"scheme":"https","canonical_host":"h"},"contract_version":"1"})"));
  EXPECT_EQ(contract, (SEOContract{.contract_version = "1",
                                   .site = {.canonical_host = "h", .scheme = "https"}}));
}

struct ErrorRow {
  std::string text;
  std::string message;
};

constexpr const char* kHead = R"({"contract_version": "1", "site": {"canonical_host": "h", "scheme": "https"},)";

TEST(ReadContract, ErrorsNamePathLineAndColumn) {
  const std::string head = kHead;
  const std::vector<ErrorRow> rows = {
      {"", "invalid JSON: EOF while parsing a value at line 1 column 0"},
      {"{\n  \"contract_version\": \"1\",\n}",
       "invalid JSON: trailing comma at line 3 column 1"},
      {R"({"contract_version": "1")", "invalid JSON: EOF while parsing an object at line 1 column 24"},
      {"[]", "expected an object, got an array at line 1 column 1"},
      {"{}", "missing key \"contract_version\" at line 1 column 1"},
      {R"({"contract_version": 1})",
       "contract_version: expected a string, got an integer at line 1 column 22"},
      // The version is read first: a newer file fails on it, not on its new keys.
      {R"({"future": true, "contract_version": "2"})",
       "contract_version: unsupported version \"2\" (this version of zoret reads \"1\") at line "
       "1 column 38"},
      {R"({"contract_version": "1"})", "missing key \"site\" at line 1 column 1"},
      {R"({"contract_version": "1", "site": {"scheme": "https"}})",
       "site: missing key \"canonical_host\" at line 1 column 35"},
      {head + R"( "defaults": {"title": {"max_lenght": 60}}})",
       "defaults.title.max_lenght: unknown key at line 1 column 102; did you mean \"max_length\"?"},
      {head + R"( "defaults": {"titel": 1}})",
       "defaults.titel: unknown key at line 1 column 92; did you mean \"title\"?"},
      {head + R"( "extra": 1})", "extra: unknown key at line 1 column 79"},
      {head + R"( "defaults": {"required": "yes"}})",
       "defaults.required: expected a boolean, got a string at line 1 column 104"},
      {head + R"( "defaults": {"max_items": -1}})",
       "defaults.max_items: expected a non-negative integer, got a negative integer at line 1 "
       "column 105"},
      {head + R"( "defaults": {"max_items": 1.0}})",
       "defaults.max_items: expected a non-negative integer, got a floating-point number at line "
       "1 column 105"},
      {head + R"( "defaults": {"max_items": 18446744073709551616}})",
       "defaults.max_items: expected a non-negative integer, got a floating-point number at line "
       "1 column 105"},
      {head + R"( "defaults": {"one_of": ["a", null]}})",
       "defaults.one_of[1]: expected a string, got null at line 1 column 108"},
      {head + R"( "defaults": {"schema": {"types": "Article"}}})",
       "defaults.schema.types: expected an array of strings, got a string at line 1 column 112"},
      {head + R"( "defaults": {"open_graph": true}})",
       "defaults.open_graph: expected an object, got a boolean at line 1 column 106"},
      {head + R"( "defaults": {"twitter": {"card": true}}})",
       "defaults.twitter.card: unknown key at line 1 column 104"},
      {head + R"( "rules": {}})", "rules: expected an array of rules, got an object at line 1 column 88"},
      {head + R"( "rules": [{"match": "/a", "expect": {}}, {"expect": {}}]})",
       "rules[1]: missing key \"match\" at line 1 column 120"},
      // A misspelt key is named before the key it should have been is missed.
      {head + R"( "rules": [{"mtach": "/a", "expect": {}}]})",
       "rules[0].mtach: unknown key at line 1 column 90; did you mean \"match\"?"},
      {head + R"( "rules": [{"match": "/a", "expect": {}, "severity": "error"}]})",
       "rules[0].severity: expected \"Error\", \"Warning\" or \"Info\", got \"error\" at line 1 "
       "column 131"},
      {head + R"( "exceptions": {"/about": {"title": {"indexable": "no"}}}})",
       "exceptions[\"/about\"].title.indexable: expected a boolean, got a string at line 1 column "
       "128"},
      // A repeated key is found where the parser took its value: the last one.
      {head + "\n \"defaults\": {},\n \"defaults\": {\"x\": 1}}",
       "defaults.x: unknown key at line 3 column 15"},
      // Keys spelled with escapes are found by their decoded text.
      {head + R"( "defaults": {"\u0074itle": {"\u0078": 1}}})",
       "defaults.title.x: unknown key at line 1 column 107"},
  };
  for (const ErrorRow& row : rows) {
    auto result = read_contract(HeapCopy(row.text).view());
    ASSERT_FALSE(result) << row.text;
    EXPECT_EQ(result.error().kind(), ErrorKind::Contract) << row.text;
    EXPECT_EQ(result.error().message(), row.message) << row.text;
  }
}

TEST(ContractFromJson, ErrorsWithoutText) {
  Json value = Json::object({{"contract_version", "1"},
                             {"site", Json::object({{"canonical_host", "h"}, {"scheme", "s"}})},
                             {"defaults", Json::object({{"min_items", json_int(-2)}})}});
  auto result = contract_from_json(value);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(),
            "defaults.min_items: expected a non-negative integer, got a negative integer");

  // Expectations nested deeper than text could be are refused, not recursed into.
  Json deep = Json::object();
  for (int i = 0; i < 200; ++i) deep = Json::object({{"title", std::move(deep)}});
  value["defaults"] = std::move(deep);
  result = contract_from_json(value);
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.error().message().ends_with(": expectations nested too deeply"));
}

}  // namespace
}  // namespace zoret
