#include "audit/findings.hpp"

#include <algorithm>
#include <tuple>

#include "zoret/audit/audit.hpp"
#include "zoret/unicode.hpp"

namespace zoret {
namespace detail {

std::string excerpt(std::string_view text) {
  const std::size_t cut = code_point_offset(text, kExcerptLength);
  if (cut >= text.size()) return std::string(text);
  std::string out(text.substr(0, cut));
  out += "...";
  return out;
}

std::string quote_text(std::string_view text) {
  std::string out = "\"";
  out += excerpt(text);
  out += '"';
  return out;
}

std::string characters(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " character" : " characters");
}

}  // namespace detail

bool audit_order(const Violation& a, const Violation& b) noexcept {
  const auto key = [](const Violation& v) { return std::tie(v.route, v.rule_id, v.field); };
  if (key(a) != key(b)) return key(a) < key(b);
  return a < b;
}

void sort_audit_findings(std::vector<Violation>& violations) {
  std::sort(violations.begin(), violations.end(), audit_order);
}

}  // namespace zoret
