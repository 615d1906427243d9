// Violation(route, field, expected, actual=None, severity="error", source="",
//           message="", url=None, rule_id=None)
//   .route .field .expected .source .message -> str
//   .url .actual .rule_id -> str | None;  .severity -> "error" | "warning" | "info"
// NotChecked(route, field, source, reason)           .route .field .source .reason -> str
// LintFinding(layer, field, message)                  .layer .field .message -> str
// Each: to_dict(), ==, <, <=, >, >= (field by field, in the order above, severity
// by rank), hash(), repr() as a call with keywords, pickled as a call of the class.
#include <array>

#include "check/check_classes.hpp"
#include "frame/bind.hpp"
#include "frame/convert.hpp"

namespace zoret::py {
namespace {

/// How one record class is made from, and turned back into, its arguments.
template <class T>
struct Form;

template <>
struct Form<Violation> {
  static constexpr const char* kParams[] = {"route",  "field",   "expected", "actual", "severity",
                                            "source", "message", "url",      "rule_id"};
  static constexpr Signature kSig{"Violation.__new__", kParams, 9, 3};
  static bool read(const CallArgs& call, Violation& v) {
    return bind<kSig>(call, v.route, v.field, v.expected, v.actual, SeverityArg{v.severity},
                      v.source, v.message, v.url, v.rule_id);
  }
  static PyObject* args(const Violation& v) {
    return tuple_of(v.route, v.field, v.expected, v.actual, v.severity, v.source, v.message, v.url,
                    v.rule_id);
  }
};

template <>
struct Form<NotChecked> {
  static constexpr const char* kParams[] = {"route", "field", "source", "reason"};
  static constexpr Signature kSig{"NotChecked.__new__", kParams, 4, 4};
  static bool read(const CallArgs& call, NotChecked& n) {
    return bind<kSig>(call, n.route, n.field, n.source, n.reason);
  }
  static PyObject* args(const NotChecked& n) {
    return tuple_of(n.route, n.field, n.source, n.reason);
  }
};

template <>
struct Form<LintFinding> {
  static constexpr const char* kParams[] = {"layer", "field", "message"};
  static constexpr Signature kSig{"LintFinding.__new__", kParams, 3, 3};
  static bool read(const CallArgs& call, LintFinding& f) {
    return bind<kSig>(call, f.layer, f.field, f.message);
  }
  static PyObject* args(const LintFinding& f) { return tuple_of(f.layer, f.field, f.message); }
};

template <class T>
PyObject* record_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    T record{};
    if (!Form<T>::read(CallArgs(args, kwargs), record)) return nullptr;
    return Box<T>::create(type, std::move(record));
  });
}

template <class T>
PyObject* record_to_dict(PyObject* self) {
  Ref args = Ref::steal(Form<T>::args(Box<T>::of(self)));
  if (!args) return nullptr;
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (std::size_t i = 0; i < std::size(Form<T>::kParams); ++i) {
    if (PyDict_SetItemString(dict.get(), Form<T>::kParams[i],
                             PyTuple_GetItem(args.get(), static_cast<Py_ssize_t>(i))) < 0)
      return nullptr;
  }
  return dict.release();
}

template <class T>
PyObject* record_reduce(PyObject* self) {
  Ref args = Ref::steal(Form<T>::args(Box<T>::of(self)));
  return args ? reduce_to_call(self, args.get(), nullptr) : nullptr;
}

template <class T>
PyObject* record_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    Ref args = Ref::steal(Form<T>::args(Box<T>::of(self)));
    Ref kwargs = args ? Ref::steal(non_none_kwargs(Form<T>::kParams, args.get())) : Ref();
    return kwargs ? keyword_repr(kClassName<T>, kwargs.get()) : nullptr;
  });
}

template <class T>
Py_hash_t record_hash(PyObject* self) {
  return guard<Py_hash_t>(-1, [&]() -> Py_hash_t {
    Ref args = Ref::steal(Form<T>::args(Box<T>::of(self)));
    return args ? PyObject_Hash(args.get()) : -1;
  });
}

template <class T>
PyObject* record_richcompare(PyObject* self, PyObject* other, int op) {
  if (!Box<T>::is_instance(other)) Py_RETURN_NOTIMPLEMENTED;
  const auto order = Box<T>::of(self) <=> Box<T>::of(other);
  switch (op) {
    case Py_LT:
      return to_py(order < 0);
    case Py_LE:
      return to_py(order <= 0);
    case Py_EQ:
      return to_py(order == 0);
    case Py_NE:
      return to_py(order != 0);
    case Py_GT:
      return to_py(order > 0);
    case Py_GE:
      return to_py(order >= 0);
    default:
      Py_RETURN_NOTIMPLEMENTED;
  }
}

PyObject* violation_severity(PyObject* self, void*) {
  return to_py(Box<Violation>::of(self).severity);
}

template <class T, FixedString ToDict, FixedString Reduce>
struct Methods {
  static inline PyMethodDef table[] = {
      fast_def("to_dict", no_args<ToDict, record_to_dict<T>>,
               "to_dict($self, /)\n--\n\nThe fields as a new dict, in constructor order."),
      fast_def("__reduce__", no_args<Reduce, record_reduce<T>>,
               "__reduce__($self, /)\n--\n\nPickles the record as a call of its class."),
      {},
  };
};

PyGetSetDef kViolationProperties[] = {
    property<&Violation::route>("route", "The route of the page."),
    property<&Violation::field>("field", "The constraint, e.g. 'title.max_length'."),
    property<&Violation::expected>("expected", "What the constraint asks for, as text."),
    property<&Violation::actual>("actual", "What the page has, or None."),
    {"severity", &violation_severity, nullptr, "'error', 'warning' or 'info'.", nullptr},
    property<&Violation::source>("source", "The layer of the constraint, e.g. 'rules[2] /blog/*'."),
    property<&Violation::message>("message", "One sentence for people."),
    property<&Violation::url>("url", "The page's address, or None."),
    property<&Violation::rule_id>("rule_id",
                                  "The rule id of an audit finding; None for contracts."),
    {},
};

PyGetSetDef kNotCheckedProperties[] = {
    property<&NotChecked::route>("route", "The route of the page."),
    property<&NotChecked::field>("field", "The constraint, e.g. 'sitemap.required'."),
    property<&NotChecked::source>("source", "The layer of the constraint."),
    property<&NotChecked::reason>("reason", "Why the facts could not decide it."),
    {},
};

PyGetSetDef kLintProperties[] = {
    property<&LintFinding::layer>("layer",
                                  "'site', 'defaults', 'rules[2] /blog/*' or "
                                  "'exceptions[/about]'."),
    property<&LintFinding::field>("field", "The field within the layer; '' for the layer itself."),
    property<&LintFinding::message>("message", "What cannot work as written."),
    {},
};

// Ends with the zeroed entry PyType_FromSpec expects.
template <class T>
std::array<PyType_Slot, 9> record_slots(const char* doc, PyMethodDef* methods,
                                        PyGetSetDef* properties) {
  return {{
      {Py_tp_doc, const_cast<char*>(doc)},
      {Py_tp_new, reinterpret_cast<void*>(&record_new<T>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&Box<T>::dealloc)},
      {Py_tp_methods, methods},
      {Py_tp_getset, properties},
      {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<T>)},
      {Py_tp_hash, reinterpret_cast<void*>(&record_hash<T>)},
      {Py_tp_repr, reinterpret_cast<void*>(&record_repr<T>)},
      {0, nullptr},
  }};
}

std::array<PyType_Slot, 9> kViolationSlots = record_slots<Violation>(
    "Violation(route, field, expected, actual=None, severity='error', source='', message='', "
    "url=None, rule_id=None)\n--\n\n"
    "One failed constraint on one page.\n\n"
    "Contract checks leave rule_id None; site audits set it. Records compare field by\n"
    "field (route, url, field, expected, actual, severity by rank error < warning <\n"
    "info, source, message, rule_id), hash by value and pickle as a call of the class.",
    Methods<Violation, "Violation.to_dict", "Violation.__reduce__">::table, kViolationProperties);

std::array<PyType_Slot, 9> kNotCheckedSlots = record_slots<NotChecked>(
    "NotChecked(route, field, source, reason)\n--\n\n"
    "A constraint in force that the facts could not decide (neither passed nor failed),\n"
    "such as sitemap.required for a page whose sitemap membership is not known.",
    Methods<NotChecked, "NotChecked.to_dict", "NotChecked.__reduce__">::table,
    kNotCheckedProperties);

std::array<PyType_Slot, 9> kLintSlots = record_slots<LintFinding>(
    "LintFinding(layer, field, message)\n--\n\n"
    "Something in a contract that cannot work as written; the checks never evaluate it.",
    Methods<LintFinding, "LintFinding.to_dict", "LintFinding.__reduce__">::table, kLintProperties);

PyType_Spec kViolationSpec = {"zoret._zoret_site.Violation", sizeof(Box<Violation>), 0,
                              kFinalClassFlags, kViolationSlots.data()};
PyType_Spec kNotCheckedSpec = {"zoret._zoret_site.NotChecked", sizeof(Box<NotChecked>), 0,
                               kFinalClassFlags, kNotCheckedSlots.data()};
PyType_Spec kLintSpec = {"zoret._zoret_site.LintFinding", sizeof(Box<LintFinding>), 0,
                         kFinalClassFlags, kLintSlots.data()};

}  // namespace

PyType_Spec* violation_spec() { return &kViolationSpec; }
PyType_Spec* not_checked_spec() { return &kNotCheckedSpec; }
PyType_Spec* lint_finding_spec() { return &kLintSpec; }

}  // namespace zoret::py
