// Contract files: any text the reader accepts must read back equal after the
// writer has written it; compiling, linting, explaining and checking must not
// fail in any other way than with an error; and every rule pattern must agree
// with a plain dynamic-programming matcher on the routes at hand.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/check/check.hpp"
#include "zoret/check/compiled_contract.hpp"
#include "zoret/check/contract_reader.hpp"
#include "zoret/check/lint.hpp"
#include "zoret/check/route_pattern.hpp"
#include "zoret/contract/builder.hpp"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
  std::abort();
}

// dp[j]: the pattern read so far matches the first j bytes of the path.
bool reference_match(std::string_view pattern, std::string_view path) {
  std::vector<char> dp(path.size() + 1, 0);
  dp[0] = 1;
  for (std::size_t i = 0; i < pattern.size();) {
    std::vector<char> next(path.size() + 1, 0);
    if (pattern[i] == '*') {
      std::size_t run = 0;
      while (i < pattern.size() && pattern[i] == '*') ++i, ++run;
      for (std::size_t j = 0; j <= path.size(); ++j) {
        if (!dp[j]) continue;
        for (std::size_t k = j; k <= path.size(); ++k) {
          next[k] = 1;
          if (k < path.size() && run == 1 && path[k] == '/') break;
        }
      }
    } else {
      for (std::size_t j = 0; j < path.size(); ++j) {
        if (dp[j] && path[j] == pattern[i]) next[j + 1] = 1;
      }
      ++i;
    }
    dp = std::move(next);
  }
  return dp[path.size()] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zoret;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto contract = read_contract(input);
  if (!contract) return 0;

  const std::string text = contract_to_json(*contract);
  const auto again = read_contract(text);
  if (!again) fail("written contract does not read back", again.error().message() + "\n" + text);
  if (!(*again == *contract)) fail("written contract reads back differently", text);

  (void)lint_contract(*contract);
  std::vector<std::string> routes = {"/", "/a", "/blog/x", "/a/b/c"};
  for (const auto& rule : contract->rules) routes.push_back(rule.match);
  for (const auto& [path, expectation] : contract->exceptions) routes.push_back(path);
  for (const auto& rule : contract->rules) {
    const RoutePattern pattern(rule.match);
    for (const std::string& route : routes) {
      if (route.size() > 256 || rule.match.size() > 256) continue;
      if (pattern.matches(route) != reference_match(rule.match, route)) {
        fail("pattern and reference disagree", rule.match + " on " + route);
      }
    }
  }

  const auto compiled = compile_contract(*contract);
  if (!compiled) return 0;
  PageFacts facts;
  facts.title = "T";
  facts.robots = {"noindex"};
  facts.status = 200;
  for (const std::string& route : routes) {
    (void)explain(*compiled, route);
    facts.route = route;
    (void)check(*compiled, facts);
  }
  return 0;
}
