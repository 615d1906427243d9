#pragma once

// The classes of the contract check family, for the files that take them as
// arguments or hand new ones to Python.

#include <Python.h>

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "frame/box.hpp"
#include "frame/convert.hpp"
#include "frame/ref.hpp"
#include "zoret/check/check.hpp"
#include "zoret/check/compiled_contract.hpp"
#include "zoret/check/lint.hpp"
#include "zoret/check/manifest.hpp"
#include "zoret/check/page_facts.hpp"
#include "zoret/check/violation.hpp"

namespace zoret::py {

/// What a CheckReport holds: one page's result, or the sum of several.
struct CheckReportValue {
  std::vector<Violation> violations;
  std::size_t routes_checked = 0;
  std::size_t constraints_checked = 0;
  std::vector<NotChecked> not_checked;
};

/// What a ManifestChecker holds: the contract and site of a run, and its totals.
struct ManifestRun {
  CompiledContract contract;
  SEOConfig config;
  CheckTally tally;
};

template <>
inline constexpr const char* kClassName<PageFacts> = "PageFacts";
template <>
inline constexpr const char* kClassName<Violation> = "Violation";
template <>
inline constexpr const char* kClassName<NotChecked> = "NotChecked";
template <>
inline constexpr const char* kClassName<LintFinding> = "LintFinding";
template <>
inline constexpr const char* kClassName<CheckReportValue> = "CheckReport";
template <>
inline constexpr const char* kClassName<Explanation> = "Explanation";
template <>
inline constexpr const char* kClassName<CompiledContract> = "Contract";
template <>
inline constexpr const char* kClassName<ManifestRun> = "ManifestChecker";

PyType_Spec* page_facts_spec();
PyType_Spec* violation_spec();
PyType_Spec* not_checked_spec();
PyType_Spec* lint_finding_spec();
PyType_Spec* check_report_spec();
PyType_Spec* explanation_spec();
PyType_Spec* contract_check_spec();
PyType_Spec* manifest_checker_spec();

extern PyMethodDef kFactsFromPayloadDef;
extern PyMethodDef kReadManifestLineDef;
extern PyMethodDef kSnapshotManifestLineDef;

/// A new list of new objects of `module`'s class for `T`, one per record.
template <Boxed T>
PyObject* list_in(PyObject* module, const std::vector<T>& records) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(records.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < records.size(); ++i) {
    PyObject* item = Box<T>::create_in(module, records[i]);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

/// The lower-case name of a severity, as a new str.
PyObject* severity_to_py(ContractSeverity severity);

/// A severity argument: "error", "warning" or "info"; ValueError otherwise.
struct SeverityArg {
  ContractSeverity& out;
};
bool convert(PyObject* obj, SeverityArg& severity);

/// zoret._zoret_native, whose classes this module makes objects of (new reference).
PyObject* native_module();

/// `Name(key=value, ...)` with each value's repr, for the keys of `kwargs` in order.
PyObject* keyword_repr(const char* class_name, PyObject* kwargs);

/// A dict of `names[i]: values[i]`, leaving out the None values.
PyObject* non_none_kwargs(std::span<const char* const> names, PyObject* values);

/// What `__reduce__` returns to rebuild `self` as `type(self)(*args, **kwargs)`.
PyObject* reduce_to_call(PyObject* self, PyObject* args, PyObject* kwargs);

}  // namespace zoret::py

namespace zoret::py {

inline PyObject* to_py(ContractSeverity severity) { return severity_to_py(severity); }

/// A new tuple of `to_py(value)` for each value.
template <class... Values>
PyObject* tuple_of(const Values&... values) {
  Ref items[] = {Ref::steal(to_py(values))...};
  for (const Ref& item : items)
    if (!item) return nullptr;
  Ref tuple = Ref::steal(PyTuple_New(sizeof...(Values)));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < sizeof...(Values); ++i)
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), items[i].release());
  return tuple.release();
}

}  // namespace zoret::py
