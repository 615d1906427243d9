#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "test_support.hpp"
#include "zoret/contract/builder.hpp"
#include "zoret/contract/model.hpp"
#include "zoret/hashing.hpp"

namespace zoret {
namespace {

namespace fs = std::filesystem;
using testing::compact_json;
using testing::value_of;

std::string pretty(const SEOContract& contract) { return contract_to_json(contract); }
std::string hash(const SEOContract& contract) { return value_of(contract_hash(contract)); }

TEST(ContractJson, BareConfigurationGivesFixedDocumentAndHash) {
  const SEOContract contract = build_contract({.canonical_host = "H"});
  EXPECT_EQ(pretty(contract),
            "{\n  \"contract_version\": \"1\",\n  \"generator\": {\n    \"name\": \"zoret\",\n"
            "    \"version\": \"0.2.0\"\n  },\n  \"site\": {\n    \"canonical_host\": \"H\",\n"
            "    \"scheme\": \"https\"\n  },\n  \"defaults\": {},\n  \"rules\": [],\n"
            "  \"exceptions\": {}\n}");
  EXPECT_EQ(hash(contract), "f5258e1ed9a206c67b0910a6a91ee6b0fe753bcb1b7df07bef65ec67143f0c22");
}

TEST(ContractJson, EveryFieldInOrderExceptionsByPathAndHashOfThePrettyText) {
  using enum ContractSeverity;
  const SEOContractRule blog{.match = "/blog/*", .expect = {.required = true}};
  SEOContractConfig config{
      .canonical_host = "h",
      .defaults = {.required = true, .forbidden = false, .equals = "e", .not_equals = "n",
                   .contains = "c", .matches = "m", .one_of = std::vector<std::string>{"x"},
                   .min_length = 1, .max_length = 2, .min_items = 3, .max_items = 4,
                   .indexable = true, .canonical = "self", .schema = {{.required = false}},
                   .open_graph = {{.required = true}}, .twitter = {{.required = false}},
                   .sitemap = {{.required = true}}, .hreflang = {{.required = false}},
                   .title = SEOExpectation{.min_length = 10},
                   .description = SEOExpectation{.max_length = 160}},
      .rules = {blog, {.match = "/e", .severity = Error}, {.match = "/w", .severity = Warning},
                {.match = "/i", .severity = Info}}};
  for (const char* path : {"/z", "/\xc3\xa9", "/a", "/B"})
    config.exceptions[path] = {.indexable = path[1] == 'a'};
  const SEOContract contract = build_contract(config);
  EXPECT_EQ(contract_to_compact_json(contract),
            R"({"contract_version":"1","generator":{"name":"zoret","version":"0.2.0"},"site":)"
            R"({"canonical_host":"h","scheme":"https"},"defaults":{"required":true,)"
            R"("forbidden":false,"equals":"e","not_equals":"n","contains":"c","matches":"m",)"
            R"("one_of":["x"],"min_length":1,"max_length":2,"min_items":3,"max_items":4,)"
            R"("indexable":true,"canonical":"self","schema":{"required":false},"open_graph":)"
            R"({"required":true},"twitter":{"required":false},"sitemap":{"required":true},)"
            R"("hreflang":{"required":false},"title":{"min_length":10},"description":)"
            R"({"max_length":160}},"rules":[{"match":"/blog/*","expect":{"required":true}},)"
            R"({"match":"/e","expect":{},"severity":"Error"},{"match":"/w","expect":{},)"
            R"("severity":"Warning"},{"match":"/i","expect":{},"severity":"Info"}],)"
            R"("exceptions":{"/B":{"indexable":false},"/a":{"indexable":true},)"
            "\"/z\":{\"indexable\":false},\"/\xc3\xa9\":{\"indexable\":false}}}");
  EXPECT_EQ(hash(contract), value_of(sha256_hex(pretty(contract))));
}

TEST(ExpectationJson, EmptyAndExtremeValues) {
  const std::pair<SEOExpectation, const char*> rows[] = {
      {{.schema = {{.types = {{}}}}}, R"({"schema":{"types":[]}})"},
      {{.schema = {{.required = true, .types = {{"Article"}}}}},
       R"({"schema":{"required":true,"types":["Article"]}})"},
      {{.twitter = FieldExpectation{}}, R"({"twitter":{}})"},
      {{.equals = "", .one_of = std::vector<std::string>{}, .min_length = 0},
       R"({"equals":"","one_of":[],"min_length":0})"},
      {{.max_items = std::numeric_limits<std::uint64_t>::max()},
       R"({"max_items":18446744073709551615})"},
  };
  for (const auto& [expectation, json] : rows) EXPECT_EQ(compact_json(expectation), json);
}

TEST(ContractSeverityFromText, OnlyExactLowerCaseNamesAreRecognised) {
  using enum ContractSeverity;
  const std::pair<std::string_view, ContractSeverity> rows[] = {
      {"info", Info}, {"warning", Warning}, {"error", Error}, {"Info", Error}, {"info ", Error},
      {"", Error}, {{"info\0", 5}, Error}};
  for (const auto& [text, want] : rows) EXPECT_EQ(contract_severity_from_text(text), want) << text;
}

TEST(NestedExpectation, PositionsCountAndAssignmentFromInsideItsOwnTree) {
  using E = SEOExpectation;
  EXPECT_NE(E{.title = E{}}, E{.description = E{}});
  const E inner{.title = E{.contains = "inner"}};
  E e{.title = inner}, m{.title = inner};
  e.title = e.title->title;
  m.title = std::move(m.title->title);
  EXPECT_TRUE(e == inner && m == inner);
  E self{.contains = "outer", .title = E{.contains = "inner"}};
  self.description = self;
  EXPECT_EQ(compact_json(self),
            R"({"contains":"outer","title":{"contains":"inner"},"description":)"
            R"({"contains":"outer","title":{"contains":"inner"}}})");
}

// Recursive copies, comparisons, serialisation or destruction would overflow the stack.
TEST(NestedExpectation, DeepAndBushyTreesCopyCompareAndSerialiseWithoutRecursion) {
  constexpr std::size_t kDepth = 100000;
  for (const char* shape : {"title", "description", "alternating"}) {
    SCOPED_TRACE(shape);
    SEOExpectation deep;
    SEOExpectation* node = &deep;
    for (std::size_t i = 1; i < kDepth; ++i) {
      const bool title = shape[0] == 't' || (shape[0] == 'a' && i % 2 == 0);
      node = &*((title ? node->title : node->description) = SEOExpectation{});
    }
    node->required = true;
    SEOExpectation copy = deep;
    EXPECT_EQ(copy, deep);
    node = &copy;
    while (node->title || node->description) {
      node = &*(node->title ? node->title : node->description);
    }
    node->required = false;
    EXPECT_NE(copy, deep);
    const std::string json = compact_json(deep);
    EXPECT_EQ(json.substr(json.size() - kDepth - 16),
              R"({"required":true)" + std::string(kDepth, '}'));
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), static_cast<std::ptrdiff_t>(kDepth));
  }

  // A complete binary tree of depth 12 exercises both children at every node.
  const auto tree = [](const auto& self, std::uint64_t depth) -> SEOExpectation {
    if (depth == 12) return {.contains = "d"};
    return {.contains = "d", .min_length = depth, .title = self(self, depth + 1),
            .description = self(self, depth + 1)};
  };
  const SEOExpectation root = tree(tree, 0);
  SEOExpectation bushy = root;
  EXPECT_EQ(bushy, root);
  EXPECT_EQ(compact_json(bushy), compact_json(root));
  bushy.description->title->description->contains = "changed";
  EXPECT_EQ(root.description->title->description->contains, "d");
  EXPECT_NE(bushy, root);
  EXPECT_NE(compact_json(bushy), compact_json(root));
  bushy = root;
  bushy.description->title->description.reset();
  EXPECT_NE(bushy, root);
}

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WriteContract : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(::mkdtemp(dir_.data()), nullptr); }
  void TearDown() override { fs::remove_all(dir_); }
  [[nodiscard]] std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename());
    return names;
  }
  std::string dir_ = ::testing::TempDir() + "zoret_contract_XXXXXX";
  SEOContract first_ = build_contract({.canonical_host = "one"});
  SEOContract second_ = build_contract({.canonical_host = "two", .rules = {{.match = "/*"}}});
};

// Modes, links and refusals are the atomic file's own tests; these show the contract
// going through it.
TEST_F(WriteContract, ReplacesTheTargetEvenThroughALinkRelativeToTheWorkingDirectory) {
  fs::create_directory(dir_ + "/real");
  const std::string target = dir_ + "/real/contract.json";
  ASSERT_TRUE(write_contract(first_, target).has_value());
  EXPECT_EQ(read(target), pretty(first_));
  fs::create_symlink("real/contract.json", dir_ + "/link.json");
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  const Result<void> linked = write_contract(second_, "link.json");
  fs::current_path(previous);
  ASSERT_TRUE(linked.has_value()) << linked.error().display();
  EXPECT_TRUE(fs::is_symlink(dir_ + "/link.json"));
  EXPECT_EQ(read(target), pretty(second_));
  EXPECT_EQ(entries(), (std::set<std::string>{"link.json", "real"}));
}

TEST_F(WriteContract, FailuresLeaveTheDirectoryAsItWas) {
  fs::create_directory(dir_ + "/sub");
  std::ofstream(dir_ + "/plain.json") << "old";
  const auto expect_failure = [&](const std::string& path, const Result<void>& written,
                                  const std::string& why) {
    SCOPED_TRACE(path);
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(written.error().display(), "serialization error: failed to write contract: " + why);
    EXPECT_EQ(entries(), (std::set<std::string>{"plain.json", "sub"}));
    EXPECT_TRUE(fs::is_empty(dir_ + "/sub"));
    EXPECT_EQ(read(dir_ + "/plain.json"), "old");
  };
  const std::pair<std::string, std::string> rows[] = {
      {dir_ + "/missing/contract.json", "No such file or directory (os error 2)"},
      {dir_ + "/sub", "Is a directory (os error 21)"},
  };
  for (const auto& [path, why] : rows) expect_failure(path, write_contract(first_, path), why);

  // A file size limit below the contract's length makes write() fail part way.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const struct rlimit small = {16, saved.rlim_max};
  auto* const saved_handler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const Result<void> written = write_contract(second_, dir_ + "/plain.json");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, saved_handler);
  expect_failure("midway", written, "File too large (os error 27)");
}

}  // namespace
}  // namespace zoret
