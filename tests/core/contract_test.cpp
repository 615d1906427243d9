#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "zoret/contract/builder.hpp"
#include "zoret/contract/model.hpp"
#include "zoret/hashing.hpp"

namespace zoret {
namespace {

namespace fs = std::filesystem;

std::string compact(const SEOExpectation& expectation) {
  std::string out;
  JsonWriter writer(out, false);
  write_json(writer, expectation);
  return out;
}

std::string compact(const SEOContractRule& rule) {
  std::string out;
  JsonWriter writer(out, false);
  write_json(writer, rule);
  return out;
}

std::string pretty(const SEOContract& contract) {
  const Result<std::string> text = contract_to_json(contract);
  EXPECT_TRUE(text.has_value()) << text.error().display();
  return text ? *text : std::string();
}

std::string hash(const SEOContract& contract) {
  const Result<std::string> digest = contract_hash(contract);
  EXPECT_TRUE(digest.has_value()) << digest.error().display();
  return digest ? *digest : std::string();
}

// A chain of `depth` expectations, each nested under the previous one's title
// or description as `step(i)` says; the innermost one has `required` set.
template <class Step>
SEOExpectation chain(std::size_t depth, Step step) {
  SEOExpectation root;
  SEOExpectation* node = &root;
  for (std::size_t i = 1; i < depth; ++i) {
    NestedExpectation& child = step(i) ? node->title : node->description;
    child = SEOExpectation{};
    node = &*child;
  }
  node->required = true;
  return root;
}

TEST(ContractToJson, BareConfigurationGivesFixedDocument) {
  const SEOContract contract = build_contract({.canonical_host = "H"});
  EXPECT_EQ(pretty(contract),
            "{\n"
            "  \"contract_version\": \"1\",\n"
            "  \"generator\": {\n"
            "    \"name\": \"zoret\",\n"
            "    \"version\": \"0.2.0\"\n"
            "  },\n"
            "  \"site\": {\n"
            "    \"canonical_host\": \"H\",\n"
            "    \"scheme\": \"https\"\n"
            "  },\n"
            "  \"defaults\": {},\n"
            "  \"rules\": [],\n"
            "  \"exceptions\": {}\n"
            "}");
  const Result<std::string> text = contract_to_compact_json(contract);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text,
            R"({"contract_version":"1","generator":{"name":"zoret","version":"0.2.0"},)"
            R"("site":{"canonical_host":"H","scheme":"https"},"defaults":{},"rules":[],)"
            R"("exceptions":{}})");
  // The hash covers exactly the pretty text, without a trailing newline.
  EXPECT_EQ(hash(contract), "f5258e1ed9a206c67b0910a6a91ee6b0fe753bcb1b7df07bef65ec67143f0c22");
}

TEST(ExpectationJson, CompactForms) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  struct Row {
    const char* name;
    SEOExpectation expectation;
    const char* json;
  };
  const std::vector<Row> rows = {
      {"nothing set", {}, "{}"},
      {"schema with types",
       {.schema = SchemaExpectation{.required = true, .types = {{"Article"}}}},
       R"({"schema":{"required":true,"types":["Article"]}})"},
      {"schema without required", {.schema = SchemaExpectation{.types = {{}}}},
       R"({"schema":{"types":[]}})"},
      {"open graph not required", {.open_graph = FieldExpectation{.required = false}},
       R"({"open_graph":{"required":false}})"},
      {"field expectation without required", {.twitter = FieldExpectation{}},
       R"({"twitter":{}})"},
      {"required before title",
       {.required = true, .title = SEOExpectation{.max_length = 60}},
       R"({"required":true,"title":{"max_length":60}})"},
      {"empty values differ from absent",
       {.equals = "", .one_of = std::vector<std::string>{}, .min_length = 0},
       R"({"equals":"","one_of":[],"min_length":0})"},
      {"largest bound", {.max_items = kMax}, R"({"max_items":18446744073709551615})"},
      {"texts are escaped", {.matches = "^\"a\\b\"$"}, R"({"matches":"^\"a\\b\"$"})"},
      {"every field in declaration order",
       {.required = true,
        .forbidden = false,
        .equals = "e",
        .not_equals = "n",
        .contains = "c",
        .matches = "m",
        .one_of = std::vector<std::string>{"x"},
        .min_length = 1,
        .max_length = 2,
        .min_items = 3,
        .max_items = 4,
        .indexable = true,
        .canonical = "self",
        .schema = SchemaExpectation{.required = false},
        .open_graph = FieldExpectation{.required = true},
        .twitter = FieldExpectation{.required = false},
        .sitemap = FieldExpectation{.required = true},
        .hreflang = FieldExpectation{.required = false},
        .title = SEOExpectation{.min_length = 10},
        .description = SEOExpectation{.max_length = 160}},
       R"({"required":true,"forbidden":false,"equals":"e","not_equals":"n",)"
       R"("contains":"c","matches":"m","one_of":["x"],"min_length":1,"max_length":2,)"
       R"("min_items":3,"max_items":4,"indexable":true,"canonical":"self",)"
       R"("schema":{"required":false},"open_graph":{"required":true},)"
       R"("twitter":{"required":false},"sitemap":{"required":true},)"
       R"("hreflang":{"required":false},"title":{"min_length":10},)"
       R"("description":{"max_length":160}})"},
      {"nested three levels",
       {.title = SEOExpectation{.description = SEOExpectation{
                                    .contains = "x", .title = SEOExpectation{}}},
        .description = SEOExpectation{.forbidden = true}},
       R"({"title":{"description":{"contains":"x","title":{}}},)"
       R"("description":{"forbidden":true}})"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(compact(row.expectation), row.json);
  }
}

TEST(ContractRuleJson, SeverityIsCapitalisedOrLeftOut) {
  struct Row {
    std::optional<ContractSeverity> severity;
    const char* json;
  };
  const Row rows[] = {
      {std::nullopt, R"({"match":"/blog/*","expect":{}})"},
      {ContractSeverity::Error, R"({"match":"/blog/*","expect":{},"severity":"Error"})"},
      {ContractSeverity::Warning, R"({"match":"/blog/*","expect":{},"severity":"Warning"})"},
      {ContractSeverity::Info, R"({"match":"/blog/*","expect":{},"severity":"Info"})"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.json);
    EXPECT_EQ(compact(SEOContractRule{.match = "/blog/*", .severity = row.severity}), row.json);
  }
}

TEST(ContractSeverityFromText, OnlyExactLowerCaseNamesAreRecognised) {
  struct Row {
    std::string_view text;
    ContractSeverity severity;
  };
  const Row rows[] = {
      {"info", ContractSeverity::Info},       {"warning", ContractSeverity::Warning},
      {"error", ContractSeverity::Error},     {"Error", ContractSeverity::Error},
      {"Info", ContractSeverity::Error},      {"INFO", ContractSeverity::Error},
      {"Warning", ContractSeverity::Error},   {"info ", ContractSeverity::Error},
      {"fatal", ContractSeverity::Error},     {"", ContractSeverity::Error},
      {std::string_view("info\0", 5), ContractSeverity::Error},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.text));
    EXPECT_EQ(contract_severity_from_text(row.text), row.severity);
  }
}

TEST(ContractJson, ExceptionsAreInByteOrderOfPath) {
  SEOContractConfig config{.canonical_host = "H"};
  for (const char* path : {"/z", "/\xc3\xa9", "/a", "/B", "/a/"}) {
    config.exceptions[path] = SEOExpectation{};
  }
  const Result<std::string> text = contract_to_compact_json(build_contract(config));
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find(R"("exceptions":{"/B":{},"/a":{},"/a/":{},"/z":{},"/)"
                       "\xc3\xa9"
                       R"(":{}}})"),
            std::string::npos)
      << *text;
}

TEST(ContractHash, FollowsTheTextAndRuleOrder) {
  const SEOContractRule blog{.match = "/blog/*", .expect = {.required = true}};
  const SEOContractRule docs{.match = "/docs/*", .expect = {.required = false},
                             .severity = ContractSeverity::Warning};
  const SEOContractConfig config{.canonical_host = "example.com",
                                 .defaults = {.canonical = "self"},
                                 .rules = {blog, docs},
                                 .exceptions = {{"/a", {.indexable = false}},
                                                {"/b", {.indexable = true}}}};
  const SEOContract contract = build_contract(config);

  const Result<std::string> expected = sha256_hex(pretty(contract));
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(hash(contract), *expected);
  EXPECT_EQ(hash(build_contract(config)), hash(contract));

  SEOContractConfig swapped_rules = config;
  std::swap(swapped_rules.rules[0], swapped_rules.rules[1]);
  EXPECT_NE(pretty(build_contract(swapped_rules)), pretty(contract));
  EXPECT_NE(hash(build_contract(swapped_rules)), hash(contract));

  // Exceptions are a map, so the order in which they were added cannot show.
  SEOContractConfig reversed_exceptions = config;
  reversed_exceptions.exceptions.clear();
  reversed_exceptions.exceptions.emplace("/b", SEOExpectation{.indexable = true});
  reversed_exceptions.exceptions.emplace("/a", SEOExpectation{.indexable = false});
  EXPECT_EQ(pretty(build_contract(reversed_exceptions)), pretty(contract));
  EXPECT_EQ(hash(build_contract(reversed_exceptions)), hash(contract));

  SEOContractConfig duplicated_rule = config;
  duplicated_rule.rules.push_back(blog);
  EXPECT_EQ(build_contract(duplicated_rule).rules.size(), 3u);
  EXPECT_NE(hash(build_contract(duplicated_rule)), hash(contract));
}

TEST(NestedExpectation, CopiesDeeplyAndComparesByValue) {
  SEOExpectation original{
      .title = SEOExpectation{.description = SEOExpectation{.max_length = 5}}};
  SEOExpectation copy = original;
  EXPECT_EQ(copy, original);

  copy.title->description->max_length = 6;
  EXPECT_EQ(original.title->description->max_length, 5u);
  EXPECT_NE(copy, original);

  SEOExpectation missing_leaf = original;
  missing_leaf.title->description.reset();
  EXPECT_NE(missing_leaf, original);
  EXPECT_FALSE(missing_leaf.title->description.has_value());

  // Equal values in different positions are different expectations.
  const SEOExpectation under_title{.title = SEOExpectation{}};
  const SEOExpectation under_description{.description = SEOExpectation{}};
  EXPECT_NE(under_title, under_description);
}

TEST(NestedExpectation, AssignmentFromInsideItsOwnTree) {
  SEOExpectation e{.title = SEOExpectation{.title = SEOExpectation{.contains = "inner"}}};
  e.title = e.title->title;
  EXPECT_EQ(e, (SEOExpectation{.title = SEOExpectation{.contains = "inner"}}));

  SEOExpectation m{.title = SEOExpectation{.title = SEOExpectation{.contains = "inner"}}};
  m.title = std::move(m.title->title);
  EXPECT_EQ(m, (SEOExpectation{.title = SEOExpectation{.contains = "inner"}}));

  SEOExpectation self{.contains = "outer", .title = SEOExpectation{.contains = "inner"}};
  self.description = self;
  EXPECT_EQ(compact(self),
            R"({"contains":"outer","title":{"contains":"inner"},)"
            R"("description":{"contains":"outer","title":{"contains":"inner"}}})");
}

// A recursive copy, comparison, serialisation or destruction overflows the stack
// long before these depths (even more so under sanitizers).
TEST(NestedExpectation, DeepNestingNeedsNoRecursion) {
  constexpr std::size_t kDepth = 100000;
  struct Row {
    const char* name;
    bool (*step)(std::size_t);
  };
  const Row rows[] = {
      {"through title", [](std::size_t) { return true; }},
      {"through description", [](std::size_t) { return false; }},
      {"alternating", [](std::size_t i) { return i % 2 == 0; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const SEOExpectation deep = chain(kDepth, row.step);
    SEOExpectation copy = deep;
    EXPECT_EQ(copy, deep);

    SEOExpectation* leaf = &copy;
    while (leaf->title || leaf->description) leaf = leaf->title ? &*leaf->title : &*leaf->description;
    leaf->required = false;
    EXPECT_NE(copy, deep);

    const std::string json = compact(deep);
    EXPECT_EQ(json.substr(json.size() - kDepth - 16), R"({"required":true)" + std::string(kDepth, '}'));
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), static_cast<std::ptrdiff_t>(kDepth));
  }
}

TEST(NestedExpectation, BushyTreesCopyAndSerialiseWhole) {
  // A complete binary tree of depth 12 exercises both children at every node.
  SEOExpectation root;
  std::vector<SEOExpectation*> level{&root};
  for (int depth = 0; depth < 12; ++depth) {
    std::vector<SEOExpectation*> next;
    for (SEOExpectation* node : level) {
      node->min_length = static_cast<std::uint64_t>(depth);
      node->title = SEOExpectation{};
      node->description = SEOExpectation{.contains = "d"};
      next.push_back(&*node->title);
      next.push_back(&*node->description);
    }
    level = std::move(next);
  }
  SEOExpectation copy = root;
  EXPECT_EQ(copy, root);
  EXPECT_EQ(compact(copy), compact(root));
  copy.description->title->description->contains = "changed";
  EXPECT_NE(copy, root);
  EXPECT_NE(compact(copy), compact(root));
}

class WriteContract : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "zoret_contract_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }

  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  static void expect_write_error(const Result<void>& result, const std::string& message) {
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind(), ErrorKind::Serialization);
    EXPECT_EQ(result.error().message(), message);
  }

  fs::path dir_;
  SEOContract first_ = build_contract({.canonical_host = "first.example"});
  SEOContract second_ = build_contract(
      {.canonical_host = "second.example", .rules = {{.match = "/*"}}});
};

TEST_F(WriteContract, WritesTheTextAndReplacesKeepingTheMode) {
  const fs::path target = dir_ / "contract.json";
  ASSERT_TRUE(write_contract(first_, target.string()).has_value());
  EXPECT_EQ(read(target), pretty(first_));

  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write |
                              fs::perms::group_read);
  ASSERT_TRUE(write_contract(second_, target.string()).has_value());
  EXPECT_EQ(read(target), pretty(second_));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(entries(), std::set<std::string>{"contract.json"});
}

TEST_F(WriteContract, NewFileFollowsTheUmask) {
  const mode_t mask = ::umask(027);
  const Result<void> written = write_contract(first_, (dir_ / "new.json").string());
  ::umask(mask);
  ASSERT_TRUE(written.has_value()) << written.error().display();
  EXPECT_EQ(fs::status(dir_ / "new.json").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(WriteContract, RelativePathAndSymlinkTarget) {
  fs::create_directory(dir_ / "real");
  fs::create_symlink("real/contract.json", dir_ / "link.json");
  std::ofstream(dir_ / "real" / "contract.json") << "old";

  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  const Result<void> written = write_contract(first_, "link.json");
  fs::current_path(previous);

  ASSERT_TRUE(written.has_value()) << written.error().display();
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.json"));
  EXPECT_EQ(read(dir_ / "real" / "contract.json"), pretty(first_));
  EXPECT_EQ(entries(), (std::set<std::string>{"link.json", "real"}));
}

TEST_F(WriteContract, FailuresLeaveTheDirectoryAsItWas) {
  fs::create_directory(dir_ / "sub");
  std::ofstream(dir_ / "plain.json") << "old";
  struct Row {
    std::string path;
    std::string message;
  };
  const Row rows[] = {
      {(dir_ / "missing" / "contract.json").string(),
       "failed to write contract: No such file or directory (os error 2)"},
      {(dir_ / "sub").string(), "failed to write contract: Is a directory (os error 21)"},
      {(dir_ / "sub").string() + "/", "failed to write contract: Is a directory (os error 21)"},
      {(dir_ / "new").string() + "/", "failed to write contract: Is a directory (os error 21)"},
      {(dir_ / "plain.json" / "x").string(),
       "failed to write contract: Not a directory (os error 20)"},
      {"", "failed to write contract: No such file or directory (os error 2)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    expect_write_error(write_contract(first_, row.path), row.message);
    EXPECT_EQ(entries(), (std::set<std::string>{"plain.json", "sub"}));
    EXPECT_TRUE(fs::is_empty(dir_ / "sub"));
    EXPECT_EQ(read(dir_ / "plain.json"), "old");
  }
}

TEST_F(WriteContract, WriteFailingMidwayKeepsTheOldFile) {
  const fs::path target = dir_ / "contract.json";
  ASSERT_TRUE(write_contract(first_, target.string()).has_value());

  // A file size limit below the contract's length makes write() fail part way.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  auto* const saved_handler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const Result<void> written = write_contract(second_, target.string());
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, saved_handler);

  expect_write_error(written, "failed to write contract: File too large (os error 27)");
  EXPECT_EQ(read(target), pretty(first_));
  EXPECT_EQ(entries(), std::set<std::string>{"contract.json"});
}

TEST_F(WriteContract, ReadOnlyDirectoryIsRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission checks do not apply to root";
  std::ofstream(dir_ / "contract.json") << "old";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  const Result<void> written = write_contract(first_, (dir_ / "contract.json").string());
  fs::permissions(dir_, fs::perms::owner_all);
  expect_write_error(written, "failed to write contract: Permission denied (os error 13)");
  EXPECT_EQ(read(dir_ / "contract.json"), "old");
  EXPECT_EQ(entries(), std::set<std::string>{"contract.json"});
}

}  // namespace
}  // namespace zoret
