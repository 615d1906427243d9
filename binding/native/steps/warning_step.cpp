#include <string>
#include <vector>

#include "frame/convert.hpp"
#include "steps/python_call.hpp"
#include "steps/steps.hpp"
#include "zoret/validation.hpp"

namespace zoret::py {

bool emit_warnings(const SEOPayload& payload, const SEOConfig& config) {
  if (!config.emit_warnings) return true;
  const std::vector<SEOIssue> findings = validate(payload);
  // `warnings` is imported only when there is something to say.
  if (findings.empty()) return true;
  Ref warnings = Ref::steal(PyImport_ImportModule("warnings"));
  if (!warnings) return false;
  for (const SEOIssue& finding : findings) {
    std::string message = "[" + finding.rule_id + "] " + finding.message;
    if (finding.url) message += " (" + *finding.url + ")";
    Ref text = Ref::steal(to_py(std::string_view(message)));
    if (!text) return false;
    Ref done = Ref::steal(call_method(warnings.get(), "warn", {text.get()}));
    if (!done) return false;
  }
  return true;
}

}  // namespace zoret::py
