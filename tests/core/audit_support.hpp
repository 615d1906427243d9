#pragma once

// Pages and helpers shared by the site audit tests. Findings are compared as
// "ZORET2xx field" texts, which keeps table rows to one line each.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "payload_samples.hpp"
#include "zoret/audit/audit.hpp"

namespace zoret::testing {

/// A page of https://example.com that no page rule reports.
inline PageFacts audit_page_facts(std::string route = "/blog/hello") {
  PageFacts page;
  const std::string url = "https://example.com" + route;
  page.route = route;
  page.url = url;
  page.status = 200;
  page.title = "Hello";
  page.description = "A friendly greeting.";
  page.canonical = url;
  page.robots = {"index", "follow"};
  page.properties = {{"og:type", "article"},
                     {"og:url", url},
                     {"og:image", "https://example.com/a.png"},
                     {"twitter:image", "https://example.com/a.png"}};
  page.jsonld.push_back(parse(
      R"({"@context":"https://schema.org","@type":"Article","headline":"Hello","author":"Ann",)"
      R"("datePublished":"2024-01-01","dateModified":"2024-01-02","image":"https://example.com/a.png"})"));
  return page;
}

/// "ZORET201 title" for each finding, in the order given.
inline std::vector<std::string> codes(const std::vector<Violation>& findings) {
  std::vector<std::string> out;
  for (const Violation& v : findings) out.push_back(v.rule_id.value_or("?") + " " + v.field);
  return out;
}

/// Rules for the site example.com.
inline AuditRules example_rules() {
  AuditRules rules;
  rules.site_host = "example.com";
  return rules;
}

}  // namespace zoret::testing
