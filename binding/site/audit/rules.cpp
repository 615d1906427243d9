// AuditRules(*, disabled=(), severities=None, title_min_length=0, title_max_length=60,
//            description_min_length=0, description_max_length=160, site_host=None)
//   .disabled -> tuple[str, ...]       ids of the rules switched off, in id order
//   .severities -> dict[str, str]      severities that differ from the table's, by id
//   .title_min_length .title_max_length .description_min_length
//   .description_max_length -> int     .site_host -> str | None (normalised)
//   is_enabled(rule) -> bool           severity_of(rule) -> "error" | "warning" | "info"
//   ==, hash(), repr() (the arguments that differ from their defaults), pickled as a call
#include <functional>
#include <string>

#include "audit/audit_classes.hpp"
#include "check/check_classes.hpp"
#include "frame/bind.hpp"

namespace zoret::py {

bool convert(PyObject* obj, RuleArg& rule) {
  std::string_view text;
  if (!convert(obj, text)) return false;
  if (auto found = find_audit_rule(text)) {
    rule.out = *found;
    return true;
  }
  raise_message_as_value_error(
      "unknown audit rule '" + std::string(text) + "': rules are ZORET201 to ZORET" +
      std::to_string(200 + kAuditRuleCount) + " or their names (see audit_rule_table())");
  return false;
}

namespace {

// The conversions below add to the frame's, which they would otherwise hide.
using py::convert;

const AuditRules& rules_of(PyObject* self) { return Box<AuditRules>::of(self); }

/// Rules to switch off: any iterable of ids or names except a text itself.
struct DisabledArg {
  AuditRules& rules;
};

bool convert(PyObject* obj, DisabledArg& disabled) {
  if (obj == Py_None) return true;
  if (PyUnicode_Check(obj) || PyBytes_Check(obj)) {
    raise_type_error("disabled must be a collection of rule ids or names, not a single '" +
                     type_name(obj) + "'");
    return false;
  }
  Ref items = Ref::steal(PyObject_GetIter(obj));
  if (!items) return false;
  while (Ref item = Ref::steal(PyIter_Next(items.get()))) {
    AuditRule rule{};
    RuleArg arg{rule};
    if (!convert(item.get(), arg)) return false;
    disabled.rules.enabled[static_cast<std::size_t>(rule)] = false;
  }
  return PyErr_Occurred() == nullptr;
}

/// A mapping of rule (id or name) to severity.
struct SeveritiesArg {
  AuditRules& rules;
};

bool convert(PyObject* obj, SeveritiesArg& severities) {
  if (obj == Py_None) return true;
  Ref items = PyDict_Check(obj) ? Ref::steal(PyDict_Items(obj)) : Ref::steal(PyMapping_Items(obj));
  if (!items) {
    if (PyErr_ExceptionMatches(PyExc_AttributeError) || PyErr_ExceptionMatches(PyExc_TypeError)) {
      PyErr_Clear();
      raise_type_error("severities must be a mapping of rule id or name to severity, not '" +
                       type_name(obj) + "'");
    }
    return false;
  }
  std::vector<std::pair<PyObject*, PyObject*>> pairs;
  const Py_ssize_t size = PyList_Size(items.get());
  for (Py_ssize_t i = 0; i < size; ++i) {
    PyObject* pair = PyList_GetItem(items.get(), i);
    AuditRule rule{};
    RuleArg rule_arg{rule};
    ContractSeverity severity{};
    SeverityArg severity_arg{severity};
    if (!PyTuple_Check(pair) || PyTuple_Size(pair) != 2) {
      raise_type_error("severities must be a mapping of rule id or name to severity");
      return false;
    }
    if (!convert(PyTuple_GetItem(pair, 0), rule_arg) ||
        !convert(PyTuple_GetItem(pair, 1), severity_arg))
      return false;
    severities.rules.severity[static_cast<std::size_t>(rule)] = severity;
  }
  return true;
}

/// The site's host, kept in the form the audit compares.
struct SiteHostArg {
  std::optional<std::string>& out;
};

bool convert(PyObject* obj, SiteHostArg& host) {
  if (obj == Py_None) return true;
  std::string_view text;
  if (!convert(obj, text)) return false;
  auto normal = normalize_site_host(text);
  if (!normal) {
    raise_by_kind(normal.error());
    return false;
  }
  host.out = *std::move(normal);
  return true;
}

constexpr const char* kParams[] = {"disabled",
                                   "severities",
                                   "title_min_length",
                                   "title_max_length",
                                   "description_min_length",
                                   "description_max_length",
                                   "site_host"};
constexpr Signature kSig{"AuditRules.__new__", kParams, 0, 0, 0, 0};

PyObject* rules_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    AuditRules rules;
    if (!bind<kSig>(CallArgs(args, kwargs), DisabledArg{rules}, SeveritiesArg{rules},
                    rules.title_min_length, rules.title_max_length, rules.description_min_length,
                    rules.description_max_length, SiteHostArg{rules.site_host}))
      return nullptr;
    if (auto valid = validate(rules); !valid) return raise_by_kind(valid.error());
    return Box<AuditRules>::create(type, std::move(rules));
  });
}

// --- properties ----------------------------------------------------------------------

PyObject* disabled_to_py(const AuditRules& rules) {
  Ref list = Ref::steal(PyList_New(0));
  if (!list) return nullptr;
  for (const AuditRuleInfo& row : audit_rule_table()) {
    if (rules.is_enabled(row.rule)) continue;
    Ref id = Ref::steal(to_py(row.id));
    if (!id || PyList_Append(list.get(), id.get()) < 0) return nullptr;
  }
  return PyList_AsTuple(list.get());
}

PyObject* severities_to_py(const AuditRules& rules) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const AuditRuleInfo& row : audit_rule_table()) {
    const ContractSeverity severity = rules.severity_of(row.rule);
    if (severity == row.severity) continue;
    Ref value = Ref::steal(severity_to_py(severity));
    Ref key = Ref::steal(to_py(row.id));
    if (!value || !key || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
  }
  return dict.release();
}

template <PyObject* (*Get)(const AuditRules&)>
PyObject* getter(PyObject* self, void*) {
  return guard([&] { return Get(rules_of(self)); });
}

/// The keyword arguments that make the same rules, defaults left out.
PyObject* rules_kwargs(const AuditRules& rules) {
  const AuditRules defaults;
  Ref kwargs = Ref::steal(PyDict_New());
  if (!kwargs) return nullptr;
  auto put = [&](const char* key, PyObject* fresh) {
    Ref value = Ref::steal(fresh);
    return value && PyDict_SetItemString(kwargs.get(), key, value.get()) == 0;
  };
  bool ok = true;
  if (rules.enabled != defaults.enabled) ok = ok && put("disabled", disabled_to_py(rules));
  if (rules.severity != defaults.severity) ok = ok && put("severities", severities_to_py(rules));
  const std::pair<const char*, std::uint32_t AuditRules::*> lengths[] = {
      {"title_min_length", &AuditRules::title_min_length},
      {"title_max_length", &AuditRules::title_max_length},
      {"description_min_length", &AuditRules::description_min_length},
      {"description_max_length", &AuditRules::description_max_length},
  };
  for (const auto& [name, member] : lengths) {
    if (rules.*member != defaults.*member) ok = ok && put(name, to_py(rules.*member));
  }
  if (rules.site_host) ok = ok && put("site_host", to_py(*rules.site_host));
  return ok ? kwargs.release() : nullptr;
}

PyObject* rules_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    Ref kwargs = Ref::steal(rules_kwargs(rules_of(self)));
    return kwargs ? keyword_repr("AuditRules", kwargs.get()) : nullptr;
  });
}

PyObject* rules_reduce(PyObject* self) {
  Ref args = Ref::steal(PyTuple_New(0));
  Ref kwargs = args ? Ref::steal(rules_kwargs(rules_of(self))) : Ref();
  return kwargs ? reduce_to_call(self, args.get(), kwargs.get()) : nullptr;
}

PyObject* rules_richcompare(PyObject* self, PyObject* other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !Box<AuditRules>::is_instance(other))
    Py_RETURN_NOTIMPLEMENTED;
  return to_py((rules_of(self) == rules_of(other)) == (op == Py_EQ));
}

Py_hash_t rules_hash(PyObject* self) {
  const AuditRules& rules = rules_of(self);
  std::size_t hash = std::hash<std::string>{}(rules.site_host.value_or(""));
  auto mix = [&hash](std::size_t value) {
    hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
  };
  for (std::size_t i = 0; i < kAuditRuleCount; ++i) {
    mix(rules.enabled[i] ? 1 : 2);
    mix(static_cast<std::size_t>(rules.severity[i]));
  }
  mix(rules.title_min_length);
  mix(rules.title_max_length);
  mix(rules.description_min_length);
  mix(rules.description_max_length);
  const auto out = static_cast<Py_hash_t>(hash);
  return out == -1 ? -2 : out;
}

constexpr const char* kRuleParams[] = {"rule"};
constexpr Signature kIsEnabledSig{"AuditRules.is_enabled", kRuleParams, 1, 1, 1};
constexpr Signature kSeverityOfSig{"AuditRules.severity_of", kRuleParams, 1, 1, 1};

PyObject* rules_is_enabled(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    AuditRule rule{};
    if (!bind<kIsEnabledSig>(CallArgs(args, nargs, kwnames), RuleArg{rule})) return nullptr;
    return to_py(rules_of(self).is_enabled(rule));
  });
}

PyObject* rules_severity_of(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    AuditRule rule{};
    if (!bind<kSeverityOfSig>(CallArgs(args, nargs, kwnames), RuleArg{rule})) return nullptr;
    return severity_to_py(rules_of(self).severity_of(rule));
  });
}

PyMethodDef kMethods[] = {
    fast_def("is_enabled", rules_is_enabled,
             "is_enabled($self, rule, /)\n--\n\n"
             "Whether the rule (an id such as 'ZORET201' or a name such as 'title-missing')\n"
             "runs."),
    fast_def("severity_of", rules_severity_of,
             "severity_of($self, rule, /)\n--\n\n"
             "The severity the rule's findings get: 'error', 'warning' or 'info'."),
    fast_def("__reduce__", no_args<"AuditRules.__reduce__", rules_reduce>,
             "__reduce__($self, /)\n--\n\nPickles the rules as a call of the class."),
    {},
};

PyGetSetDef kProperties[] = {
    {"disabled", getter<disabled_to_py>, nullptr,
     "The ids of the rules switched off, in id order (a tuple).", nullptr},
    {"severities", getter<severities_to_py>, nullptr,
     "The severities that differ from the rule table's, by rule id (a new dict).", nullptr},
    property<&AuditRules::title_min_length>("title_min_length",
                                            "Fewest code points of a title (0: no bound)."),
    property<&AuditRules::title_max_length>("title_max_length", "Most code points of a title."),
    property<&AuditRules::description_min_length>(
        "description_min_length", "Fewest code points of a meta description (0: no bound)."),
    property<&AuditRules::description_max_length>("description_max_length",
                                                  "Most code points of a meta description."),
    property<&AuditRules::site_host>(
        "site_host", "The site's canonical host in normal form, or None to use the config's."),
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "AuditRules(*, disabled=(), severities=None, title_min_length=0, title_max_length=60, "
         "description_min_length=0, description_max_length=160, site_host=None)\n--\n\n"
         "Which site audit rules run, at which severity, with which bounds.\n\n"
         "disabled names rules to switch off and severities maps rules to 'error',\n"
         "'warning' or 'info'; a rule is named by its id ('ZORET201') or its name\n"
         "('title-missing'), see audit_rule_table(). Lengths count Unicode code points.\n"
         "site_host is the site's canonical host ('example.com', 'example.com:8080'),\n"
         "stored lower-cased and in ASCII; when None, the SEOConfig given to the audit\n"
         "supplies its canonical_host, and without either, addresses are compared by path.\n"
         "Unknown rules and severities raise ValueError, a host that is not one or a\n"
         "minimum above its maximum ConfigurationError. Immutable, hashable, picklable.")},
    {Py_tp_new, reinterpret_cast<void*>(&rules_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<AuditRules>::dealloc)},
    {Py_tp_methods, kMethods},
    {Py_tp_getset, kProperties},
    {Py_tp_richcompare, reinterpret_cast<void*>(&rules_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(&rules_hash)},
    {Py_tp_repr, reinterpret_cast<void*>(&rules_repr)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_site.AuditRules", sizeof(Box<AuditRules>), 0, kFinalClassFlags,
                     kSlots};

}  // namespace

PyType_Spec* audit_rules_spec() { return &kSpec; }

}  // namespace zoret::py
