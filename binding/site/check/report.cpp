// CheckReport(violations=(), *, routes_checked=0, constraints_checked=0, not_checked=())
//   .violations -> list[Violation]   .not_checked -> list[NotChecked]
//   .routes_checked .constraints_checked -> int   .counts -> dict[str, int]
//   failed(fail_on="error") -> bool;  ==;  repr();  pickled as a call
// Explanation (made by Contract.explain)
//   .route -> str   .layers -> list[tuple[str, str]]   .constraints -> list[dict]
//   to_dict() -> dict;  str() the text for people;  repr()
#include <array>

#include "check/check_classes.hpp"
#include "frame/bind.hpp"
#include "frame/dict_builder.hpp"
#include "frame/json_value.hpp"

namespace zoret::py {
namespace {

// --- CheckReport -------------------------------------------------------------------

const CheckReportValue& report_of(PyObject* self) { return Box<CheckReportValue>::of(self); }

constexpr const char* kReportParams[] = {"violations", "routes_checked", "constraints_checked",
                                         "not_checked"};
constexpr Signature kReportSig{"CheckReport.__new__", kReportParams, 1, 0};

PyObject* report_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    CheckReportValue r;
    std::uint64_t routes = 0, constraints = 0;
    if (!bind<kReportSig>(CallArgs(args, kwargs), r.violations, routes, constraints, r.not_checked))
      return nullptr;
    r.routes_checked = routes;
    r.constraints_checked = constraints;
    return Box<CheckReportValue>::create(type, std::move(r));
  });
}

std::array<std::uint64_t, 3> counts_of(const CheckReportValue& r) {
  std::array<std::uint64_t, 3> counts{};
  for (const Violation& v : r.violations) ++counts[static_cast<std::size_t>(v.severity)];
  return counts;
}

PyObject* report_counts(PyObject* self, void*) {
  return guard([&] {
    const auto counts = counts_of(report_of(self));
    return DictBuilder()
        .add("error", counts[0])
        .add("warning", counts[1])
        .add("info", counts[2])
        .finish();
  });
}

PyObject* report_violations(PyObject* self, void*) {
  return guard([&] { return list_in(module_of(self), report_of(self).violations); });
}

PyObject* report_not_checked(PyObject* self, void*) {
  return guard([&] { return list_in(module_of(self), report_of(self).not_checked); });
}

constexpr const char* kFailedParams[] = {"fail_on"};
constexpr Signature kFailedSig{"CheckReport.failed", kFailedParams, 1, 0};

PyObject* report_failed(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    ContractSeverity fail_on = ContractSeverity::Error;
    if (!bind<kFailedSig>(CallArgs(args, nargs, kwnames), SeverityArg{fail_on})) return nullptr;
    // Error ranks first: a violation counts when its rank is at most the threshold's.
    for (const Violation& v : report_of(self).violations)
      if (v.severity <= fail_on) Py_RETURN_TRUE;
    Py_RETURN_FALSE;
  });
}

PyObject* report_richcompare(PyObject* self, PyObject* other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !Box<CheckReportValue>::is_instance(other))
    Py_RETURN_NOTIMPLEMENTED;
  const CheckReportValue& a = report_of(self);
  const CheckReportValue& b = report_of(other);
  const bool equal = a.violations == b.violations && a.routes_checked == b.routes_checked &&
                     a.constraints_checked == b.constraints_checked &&
                     a.not_checked == b.not_checked;
  return to_py(equal == (op == Py_EQ));
}

PyObject* report_reduce(PyObject* self) {
  const CheckReportValue& r = report_of(self);
  Ref violations = Ref::steal(list_in(module_of(self), r.violations));
  Ref args = violations ? Ref::steal(PyTuple_Pack(1, violations.get())) : Ref();
  Ref kwargs = Ref::steal(DictBuilder()
                              .add("routes_checked", std::uint64_t{r.routes_checked})
                              .add("constraints_checked", std::uint64_t{r.constraints_checked})
                              .finish());
  Ref not_checked = Ref::steal(list_in(module_of(self), r.not_checked));
  if (!args || !kwargs || !not_checked ||
      PyDict_SetItemString(kwargs.get(), "not_checked", not_checked.get()) < 0)
    return nullptr;
  return reduce_to_call(self, args.get(), kwargs.get());
}

PyObject* report_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    const CheckReportValue& r = report_of(self);
    const auto counts = counts_of(r);
    const std::string text = "<CheckReport: " + std::to_string(r.routes_checked) + " routes, " +
                             std::to_string(r.constraints_checked) + " constraints, " +
                             std::to_string(counts[0]) + " errors, " + std::to_string(counts[1]) +
                             " warnings, " + std::to_string(counts[2]) + " infos, " +
                             std::to_string(r.not_checked.size()) + " not checked>";
    return to_py(text);
  });
}

PyMethodDef kReportMethods[] = {
    fast_def("failed", report_failed,
             "failed($self, /, fail_on='error')\n--\n\n"
             "Whether a violation is at least as severe as fail_on ('error', 'warning' or\n"
             "'info'; error is the most severe)."),
    fast_def("__reduce__", no_args<"CheckReport.__reduce__", report_reduce>,
             "__reduce__($self, /)\n--\n\nPickles the report as a call of its class."),
    {},
};

PyGetSetDef kReportProperties[] = {
    {"violations", report_violations, nullptr,
     "The violations, in route order, each route's in constraint order (a new list).", nullptr},
    {"not_checked", report_not_checked, nullptr,
     "The constraints in force that the facts could not decide (a new list).", nullptr},
    {"counts", report_counts, nullptr,
     "Violations by severity: {'error': n, 'warning': n, 'info': n}.", nullptr},
    property<&CheckReportValue::routes_checked>("routes_checked", "How many pages were checked."),
    property<&CheckReportValue::constraints_checked>(
        "constraints_checked", "Constraints evaluated, passed or failed (not-checked ones aside)."),
    {},
};

PyType_Slot kReportSlots[] = {
    {Py_tp_doc,
     const_cast<char*>("CheckReport(violations=(), *, routes_checked=0, constraints_checked=0, "
                       "not_checked=())\n--\n\n"
                       "The outcome of checking one page (Contract.check_report) or several.")},
    {Py_tp_new, reinterpret_cast<void*>(&report_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<CheckReportValue>::dealloc)},
    {Py_tp_methods, kReportMethods},
    {Py_tp_getset, kReportProperties},
    {Py_tp_richcompare, reinterpret_cast<void*>(&report_richcompare)},
    {Py_tp_repr, reinterpret_cast<void*>(&report_repr)},
    {0, nullptr},
};

PyType_Spec kReportSpec = {"zoret._zoret_site.CheckReport", sizeof(Box<CheckReportValue>), 0,
                           kFinalClassFlags, kReportSlots};

// --- Explanation -------------------------------------------------------------------

const Explanation& explanation_of(PyObject* self) { return Box<Explanation>::of(self); }

PyObject* explanation_layers(PyObject* self, void*) {
  return guard([&]() -> PyObject* {
    const auto& layers = explanation_of(self).layers;
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(layers.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < layers.size(); ++i) {
      PyObject* item = tuple_of(layers[i].name, layers[i].severity);
      if (item == nullptr) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
  });
}

PyObject* explanation_constraints(PyObject* self, void*) {
  return guard([&]() -> PyObject* {
    const auto& constraints = explanation_of(self).constraints;
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(constraints.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < constraints.size(); ++i) {
      const ExplainedConstraint& c = constraints[i];
      Ref value = Ref::steal(json_to_pyobject_depth(c.value, 0));
      Ref item = Ref::steal(DictBuilder()
                                .add("field", c.field)
                                .add("source", c.source)
                                .add("severity", severity_label(c.severity))
                                .finish());
      if (!value || !item || PyDict_SetItemString(item.get(), "value", value.get()) < 0)
        return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item.release());
    }
    return list.release();
  });
}

PyObject* explanation_route(PyObject* self, void*) {
  return guard([&] { return to_py(explanation_of(self).route); });
}

PyObject* explanation_to_dict(PyObject* self) {
  Ref layers = Ref::steal(explanation_layers(self, nullptr));
  Ref constraints = layers ? Ref::steal(explanation_constraints(self, nullptr)) : Ref();
  Ref route = Ref::steal(to_py(explanation_of(self).route));
  Ref dict = Ref::steal(PyDict_New());
  if (!constraints || !route || !dict) return nullptr;
  // The layers as dicts too, so that the whole explanation is JSON as it stands.
  const Py_ssize_t count = PyList_Size(layers.get());
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* pair = PyList_GetItem(layers.get(), i);
    Ref layer = Ref::steal(PyDict_New());
    if (!layer || PyDict_SetItemString(layer.get(), "name", PyTuple_GetItem(pair, 0)) < 0 ||
        PyDict_SetItemString(layer.get(), "severity", PyTuple_GetItem(pair, 1)) < 0 ||
        PyList_SetItem(layers.get(), i, layer.release()) < 0)
      return nullptr;
  }
  if (PyDict_SetItemString(dict.get(), "route", route.get()) < 0 ||
      PyDict_SetItemString(dict.get(), "layers", layers.get()) < 0 ||
      PyDict_SetItemString(dict.get(), "constraints", constraints.get()) < 0)
    return nullptr;
  return dict.release();
}

PyObject* explanation_str(PyObject* self) {
  return guard([&] { return to_py(explanation_text(explanation_of(self))); });
}

PyObject* explanation_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    const Explanation& e = explanation_of(self);
    Ref route = Ref::steal(to_py(e.route));
    if (!route) return nullptr;
    return PyUnicode_FromFormat("<Explanation of %R: %zd layers, %zd constraints>", route.get(),
                                static_cast<Py_ssize_t>(e.layers.size()),
                                static_cast<Py_ssize_t>(e.constraints.size()));
  });
}

PyObject* explanation_richcompare(PyObject* self, PyObject* other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !Box<Explanation>::is_instance(other))
    Py_RETURN_NOTIMPLEMENTED;
  return to_py((explanation_of(self) == explanation_of(other)) == (op == Py_EQ));
}

PyMethodDef kExplanationMethods[] = {
    fast_def("to_dict", no_args<"Explanation.to_dict", explanation_to_dict>,
             "to_dict($self, /)\n--\n\n"
             "{'route': ..., 'layers': [{'name', 'severity'}], 'constraints': [{'field',\n"
             "'source', 'severity', 'value'}]}, JSON-compatible."),
    {},
};

PyGetSetDef kExplanationProperties[] = {
    {"route", explanation_route, nullptr, "The route path the patterns were matched against.",
     nullptr},
    {"layers", explanation_layers, nullptr,
     "(name, severity) of each layer that applies, in layering order.", nullptr},
    {"constraints", explanation_constraints, nullptr,
     "The constraints in force in field order: dicts with 'field', 'source', 'severity' and\n"
     "'value' (as written in the contract).",
     nullptr},
    {},
};

PyType_Slot kExplanationSlots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "The expectation in force for one route, layer by layer (Contract.explain).\n\n"
                    "str() gives it for people: the layers that apply and why, then each\n"
                    "constraint with its value, the layer it comes from and its severity.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<Explanation>::dealloc)},
    {Py_tp_methods, kExplanationMethods},
    {Py_tp_getset, kExplanationProperties},
    {Py_tp_str, reinterpret_cast<void*>(&explanation_str)},
    {Py_tp_repr, reinterpret_cast<void*>(&explanation_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&explanation_richcompare)},
    {0, nullptr},
};

PyType_Spec kExplanationSpec = {"zoret._zoret_site.Explanation", sizeof(Box<Explanation>), 0,
                                kNoConstructorFlags, kExplanationSlots};

}  // namespace

PyType_Spec* check_report_spec() { return &kReportSpec; }
PyType_Spec* explanation_spec() { return &kExplanationSpec; }

}  // namespace zoret::py
