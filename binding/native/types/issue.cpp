// SEOIssue (made only by validate_payload)
//   .rule_id .message -> str   .url -> str | None   .severity -> "error" | "warning" | "info"
//   .details -> dict (a new dict on each access)
//   repr(); pickling and copying through the restorer of zoret._zoret_site
#include "types/issue.hpp"

#include "classes.hpp"
#include "frame/convert.hpp"
#include "frame/json_value.hpp"
#include "types/record_slots.hpp"

namespace zoret::py {

Issue to_issue(const SEOIssue& finding) {
  std::string details;
  JsonWriter writer(details, false);
  writer.begin_object();
  for (const auto& [key, value] : finding.details) writer.field(key, value);
  writer.end_object();
  writer.close();
  return Issue{finding.rule_id, std::string(severity_text(finding.severity)),
               finding.message, finding.url, std::move(details)};
}

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

PyMethodDef kMethods[] = {
    reduce_def<"SEOIssue.__reduce__", reduce_through_site<Issue>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>("A single validation finding.\n\nMade by validate_payload().")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<Issue>::dealloc)},
    {Py_tp_getset, kProperties},
    {Py_tp_methods, kMethods},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<Issue>)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SEOIssue", sizeof(Box<Issue>), 0, kNoConstructorFlags,
                     kSlots};

}  // namespace

PyType_Spec* issue_spec() { return &kSpec; }

}  // namespace zoret::py
