#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "zoret/check/compiled_contract.hpp"

namespace zoret {
namespace {

// Column widths count bytes: the texts are mostly ASCII field names and
// patterns, and a misaligned column is the worst a wide character can do.
using Row = std::array<std::string, 3>;

void append_rows(std::string& out, const std::vector<Row>& rows) {
  std::array<std::size_t, 2> width{};
  for (const Row& row : rows) {
    for (std::size_t i = 0; i < width.size(); ++i) width[i] = std::max(width[i], row[i].size());
  }
  for (const Row& row : rows) {
    std::string line = "  ";
    for (std::size_t i = 0; i < width.size(); ++i) {
      line += row[i];
      line.append(width[i] - row[i].size() + 2, ' ');
    }
    line += row[2];
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += '\n';
    out += line;
  }
  if (rows.empty()) out += "\n  (none)";
}

std::string why(const std::string& layer) {
  if (layer == "defaults") return "every route";
  if (layer.starts_with("rules[")) {
    const std::size_t space = layer.find(' ');
    std::string out = "pattern ";
    append_json_string(out, space == std::string::npos ? std::string_view()
                                                       : std::string_view(layer).substr(space + 1));
    out += " matches";
    return out;
  }
  return "this exact route";
}

}  // namespace

std::string_view severity_label(ContractSeverity severity) noexcept {
  switch (severity) {
    case ContractSeverity::Error:
      return "error";
    case ContractSeverity::Warning:
      return "warning";
    case ContractSeverity::Info:
      return "info";
  }
  return "error";
}

std::string explanation_text(const Explanation& explanation) {
  std::string out = explanation.route;
  std::vector<Row> rows;
  for (const ExplainedLayer& layer : explanation.layers) {
    rows.push_back({layer.name, why(layer.name), std::string(severity_label(layer.severity))});
  }
  append_rows(out, rows);
  out += "\nconstraints";
  rows.clear();
  for (const ExplainedConstraint& c : explanation.constraints) {
    std::string source = c.source;
    if (c.severity != ContractSeverity::Error) {
      source += " (";
      source += severity_label(c.severity);
      source += ')';
    }
    rows.push_back({c.field, to_json_compact(c.value), std::move(source)});
  }
  append_rows(out, rows);
  return out;
}

}  // namespace zoret
