#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/findings.hpp"
#include "zoret/json.hpp"

namespace zoret::detail {

/// Checks the JSON-LD nodes of a page against the rich-result profiles
/// (jsonld-missing-required, jsonld-missing-recommended). The roots are found
/// as contract checks find nodes: a script's value, the elements of a list
/// (nested lists too), the members of "@graph" and an object with "@graph" that
/// has a "@type" itself. A root whose type has a root profile is checked, then
/// its nested properties against their profiles. Findings name the node by its
/// place: "jsonld[0].@graph[1].offers[0].price".
void check_rich_results(const std::vector<Json>& scripts, Findings& findings,
                        std::string_view route, const std::optional<std::string>& url);

}  // namespace zoret::detail
