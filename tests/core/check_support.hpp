#pragma once

// Contracts and pages shared by the contract check tests. Contracts are
// written as contract JSON, which keeps table rows short; the reader has its
// own tests.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "payload_samples.hpp"
#include "test_support.hpp"
#include "zoret/check/compiled_contract.hpp"
#include "zoret/check/contract_reader.hpp"
#include "zoret/check/page_facts.hpp"

namespace zoret::testing {

/// A contract for site https://example.com from the JSON of its defaults,
/// rules and exceptions.
inline SEOContract contract_of(std::string_view defaults, std::string_view rules = "[]",
                               std::string_view exceptions = "{}") {
  std::string text = R"({"contract_version":"1","site":{"canonical_host":"example.com",)"
                     R"("scheme":"https"},"defaults":)";
  text += defaults;
  text += ",\"rules\":";
  text += rules;
  text += ",\"exceptions\":";
  text += exceptions;
  text += '}';
  return value_of(read_contract(text));
}

inline CompiledContract compiled(std::string_view defaults, std::string_view rules = "[]",
                                 std::string_view exceptions = "{}") {
  auto result = compile_contract(contract_of(defaults, rules, exceptions));
  EXPECT_TRUE(result) << result.error().display();
  return *std::move(result);
}

/// A page that satisfies every constraint the check tests start from.
inline PageFacts good_page() {
  PageFacts page;
  page.route = "/blog/hello";
  page.title = "Hello";
  page.description = "A friendly greeting.";
  page.canonical = "https://example.com/blog/hello";
  page.robots = {"index", "follow"};
  page.properties = {{"og:type", "article"},
                     {"og:title", "Hello"},
                     {"og:url", "https://example.com/blog/hello"},
                     {"og:image", "https://example.com/a.png"},
                     {"twitter:card", "summary"}};
  page.jsonld.push_back(parse(R"({"@context":"https://schema.org","@type":"Article"})"));
  return page;
}

}  // namespace zoret::testing
