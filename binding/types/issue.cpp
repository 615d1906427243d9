// SEOIssue (made only by validate_payload)
//   .rule_id .message -> str   .url -> str | None   .severity -> "error" | "warning" | "info"
//   .details -> dict (a new dict on each access)
// validate_payload(payload) -> list[SEOIssue]
#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "types/classes.hpp"
#include "types/payload.hpp"
#include "zoret/validation.hpp"

namespace zoret::py {

/// One finding as Python sees it; the details are kept as compact JSON text and
/// decoded on each access, so the object owns no JSON value.
struct Issue {
  std::string rule_id;
  std::string severity;
  std::string message;
  std::optional<std::string> url;
  std::string details_json;
};
template <>
inline constexpr const char* kClassName<Issue> = "SEOIssue";

namespace {

PyObject* issue_details(PyObject* self, void*) {
  return guard([&]() -> PyObject* {
    auto parsed = parse_json(Box<Issue>::of(self).details_json);
    if (!parsed) return PyDict_New();
    return json_to_pydict(*parsed);
  });
}

PyGetSetDef kProperties[] = {
    property<&Issue::rule_id>("rule_id", "Stable rule identifier, 'ZORET101' to 'ZORET108'."),
    property<&Issue::severity>("severity", "'error', 'warning' or 'info'."),
    property<&Issue::message>("message", "Human-readable description of the finding."),
    property<&Issue::url>("url", "The URL the finding applies to, or None."),
    {"details", issue_details, nullptr, "Structured facts about the finding (a new dict).", nullptr},
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>("A single validation finding.\n\nMade by validate_payload().")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<Issue>::dealloc)},
    {Py_tp_getset, kProperties},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SEOIssue", sizeof(Box<Issue>), 0, kNoConstructorFlags,
                     kSlots};

constexpr const char* kParams[] = {"payload"};
constexpr Signature kSig{"validate_payload", kParams, 1, 1};

Issue to_issue(const SEOIssue& finding) {
  std::string details;
  JsonWriter writer(details, false);
  writer.begin_object();
  for (const auto& [key, value] : finding.details) writer.field(key, value);
  writer.end_object();
  return Issue{finding.rule_id, std::string(severity_text(finding.severity)),
               finding.message, finding.url, std::move(details)};
}

PyObject* validate_payload_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* bound[1];
    const SEOPayload* payload = nullptr;
    if (!bind_args(kSig, args, nargs, kwnames, bound) || !arg_ref(bound[0], "payload", payload))
      return nullptr;
    const std::vector<SEOIssue> findings = validate(*payload);
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(findings.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < findings.size(); ++i) {
      PyObject* item = Box<Issue>::create(to_issue(findings[i]));
      if (item == nullptr) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
  });
}

}  // namespace

ClassDef issue_class() { return class_def<Issue>(&kSpec); }

const PyMethodDef kValidatePayloadDef = fast_def(
    "validate_payload", validate_payload_fn,
    "validate_payload(payload)\n--\n\n"
    "Runs the built-in validation checks against a payload.\n\n"
    "Returns a new list of SEOIssue findings (rules ZORET101 to ZORET108) in rule\n"
    "order; empty when the payload passes. Raises TypeError unless `payload` is an\n"
    "SEOPayload.");

}  // namespace zoret::py
