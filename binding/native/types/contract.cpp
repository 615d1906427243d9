// SEOExpectation(*, required=None, forbidden=None, equals=None, not_equals=None,
//                contains=None, matches=None, one_of=None, min_length=None,
//                max_length=None, min_items=None, max_items=None, indexable=None,
//                canonical=None, schema_required=None, schema_types=None,
//                og_required=None, twitter_required=None, sitemap_required=None,
//                hreflang_required=None, title=None, description=None)
//   .required -> bool | None
//   .indexable -> bool | None
//   .canonical -> str | None
// SEOContractRule(match, expect, *, severity=None)
//   .match -> str
//   .expect -> SEOExpectation
//   .severity -> str | None
// SEOContractConfig(canonical_host, *, scheme="https", defaults=None, rules=None,
//                   exceptions=None)
// SEOContract (made by build_seo_contract only)
//   .contract_version -> str
//   .site -> dict[str, str]
//   .to_json() -> str
//   .to_dict() -> dict
//   .hash() -> str
//   .write(path) -> None
// Every class here has a repr() and pickles and copies: SEOContract through the
// restorer of zoret._zoret_site, the others through their constructors.
#include "types/contract.hpp"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "classes.hpp"
#include "frame/bind.hpp"
#include "frame/dict_builder.hpp"
#include "frame/json_value.hpp"
#include "types/record_slots.hpp"
#include "zoret/contract/builder.hpp"
#include "zoret/contract/model.hpp"

namespace zoret::py {

ContractRuleArgs rule_args(const SEOContractRule& rule) {
  ContractRuleArgs out{.match = rule.match, .expect = rule.expect, .severity = std::nullopt};
  if (rule.severity) {
    switch (*rule.severity) {
      case ContractSeverity::Info: out.severity = "info"; break;
      case ContractSeverity::Warning: out.severity = "warning"; break;
      case ContractSeverity::Error: out.severity = "error"; break;
    }
  }
  return out;
}

namespace {

constexpr const char* kExpectationParams[] = {
    "required",        "forbidden",        "equals",           "not_equals",  "contains",
    "matches",         "one_of",           "min_length",       "max_length",  "min_items",
    "max_items",       "indexable",        "canonical",        "schema_required",
    "schema_types",    "og_required",      "twitter_required", "sitemap_required",
    "hreflang_required", "title",          "description",
};
constexpr Signature kExpectationSig{"SEOExpectation.__new__", kExpectationParams, 0, 0};

std::optional<FieldExpectation> field_expectation(std::optional<bool> required) {
  if (!required) return std::nullopt;
  return FieldExpectation{.required = required};
}

PyObject* expectation_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    SEOExpectation e;
    std::optional<bool> schema_required, og, twitter, sitemap, hreflang;
    std::optional<std::vector<std::string>> schema_types;
    std::optional<SEOExpectation> title, description;
    if (!bind<kExpectationSig>(CallArgs(args, kwargs), e.required, e.forbidden, e.equals,
                               e.not_equals, e.contains, e.matches, e.one_of, e.min_length,
                               e.max_length, e.min_items, e.max_items, e.indexable, e.canonical,
                               schema_required, schema_types, og, twitter, sitemap, hreflang,
                               title, description))
      return nullptr;
    // Types without a required flag carry no expectation, so they are dropped.
    if (schema_required)
      e.schema = SchemaExpectation{.required = schema_required, .types = std::move(schema_types)};
    e.open_graph = field_expectation(og);
    e.twitter = field_expectation(twitter);
    e.sitemap = field_expectation(sitemap);
    e.hreflang = field_expectation(hreflang);
    if (title) e.title = std::move(*title);
    if (description) e.description = std::move(*description);
    return Box<SEOExpectation>::create(type, std::move(e));
  });
}

PyGetSetDef kExpectationProperties[] = {
    property<&SEOExpectation::required>("required", "Whether the field must be present, or None."),
    property<&SEOExpectation::indexable>("indexable",
                                         "Whether the page must be indexable, or None."),
    property<&SEOExpectation::canonical>(
        "canonical", "The expected canonical behaviour (for example 'self'), or None."),
    {},
};

PyMethodDef kExpectationMethods[] = {
    reduce_def<"SEOExpectation.__reduce__", reduce_record<SEOExpectation>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kExpectationSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "SEOExpectation(*, required=None, forbidden=None, equals=None, not_equals=None, "
         "contains=None, matches=None, one_of=None, min_length=None, max_length=None, "
         "min_items=None, max_items=None, indexable=None, canonical=None, "
         "schema_required=None, schema_types=None, og_required=None, twitter_required=None, "
         "sitemap_required=None, hreflang_required=None, title=None, description=None)\n--\n\n"
         "Expectations applied to a page, a rule match, or contract defaults.\n\n"
         "Every argument is optional and None leaves the constraint out. Nothing is\n"
         "validated: `matches` is not compiled and bounds are not compared.\n"
         "schema_types only counts together with schema_required; og_required,\n"
         "twitter_required, sitemap_required and hreflang_required each become a\n"
         "{'required': value} expectation; title and description nest copies of the\n"
         "given expectations. Bounds are non-negative ints below 2**64 (OverflowError\n"
         "otherwise); other wrong types raise TypeError.")},
    {Py_tp_new, reinterpret_cast<void*>(&expectation_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOExpectation>::dealloc)},
    {Py_tp_getset, kExpectationProperties},
    {Py_tp_methods, kExpectationMethods},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<SEOExpectation>)},
    {0, nullptr},
};

PyType_Spec kExpectationSpec = {"zoret._zoret_native.SEOExpectation",
                                sizeof(Box<SEOExpectation>), 0, kFinalClassFlags,
                                kExpectationSlots};

constexpr const char* kRuleParams[] = {"match", "expect", "severity"};
constexpr Signature kRuleSig{"SEOContractRule.__new__", kRuleParams, 2, 2};

PyObject* rule_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    ContractRuleArgs rule;
    if (!bind<kRuleSig>(CallArgs(args, kwargs), rule.match, rule.expect, rule.severity))
      return nullptr;
    return Box<ContractRuleArgs>::create(type, std::move(rule));
  });
}

PyObject* rule_expect(PyObject* self, void*) {
  return guard([&] {
    return Box<SEOExpectation>::create_in(module_of(self), Box<ContractRuleArgs>::of(self).expect);
  });
}

PyGetSetDef kRuleProperties[] = {
    property<&ContractRuleArgs::match>("match", "The route pattern, for example '/blog/*'."),
    {"expect", &rule_expect, nullptr, "A copy of the rule's expectation.", nullptr},
    property<&ContractRuleArgs::severity>("severity", "The severity text as given, or None."),
    {},
};

PyMethodDef kRuleMethods[] = {
    reduce_def<"SEOContractRule.__reduce__", reduce_record<ContractRuleArgs>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kRuleSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "SEOContractRule(match, expect, *, severity=None)\n--\n\n"
         "A contract rule matched against route paths.\n\n"
         "match is a route pattern stored unparsed; expect an SEOExpectation (copied).\n"
         "severity is kept as given: in a contract 'info' becomes Info, 'warning'\n"
         "Warning and any other text Error.")},
    {Py_tp_new, reinterpret_cast<void*>(&rule_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<ContractRuleArgs>::dealloc)},
    {Py_tp_getset, kRuleProperties},
    {Py_tp_methods, kRuleMethods},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<ContractRuleArgs>)},
    {0, nullptr},
};

PyType_Spec kRuleSpec = {"zoret._zoret_native.SEOContractRule", sizeof(Box<ContractRuleArgs>), 0,
                         kFinalClassFlags, kRuleSlots};

constexpr const char* kConfigParams[] = {"canonical_host", "scheme", "defaults", "rules",
                                         "exceptions"};
constexpr Signature kConfigSig{"SEOContractConfig.__new__", kConfigParams, 1, 1};

PyObject* config_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    SEOContractConfig config;
    std::optional<SEOExpectation> defaults;
    std::optional<std::vector<ContractRuleArgs>> rules;
    std::optional<std::vector<std::pair<std::string, SEOExpectation>>> exceptions;
    if (!bind<kConfigSig>(CallArgs(args, kwargs), config.canonical_host, config.scheme, defaults,
                          rules, exceptions))
      return nullptr;
    if (defaults) config.defaults = std::move(*defaults);
    if (rules) {
      config.rules.reserve(rules->size());
      for (ContractRuleArgs& rule : *rules) config.rules.push_back(to_core_rule(std::move(rule)));
    }
    if (exceptions) {
      // A path given twice keeps the expectation that comes last.
      for (auto& [path, expectation] : *exceptions)
        config.exceptions.insert_or_assign(std::move(path), std::move(expectation));
    }
    return Box<SEOContractConfig>::create(type, std::move(config));
  });
}

PyMethodDef kConfigMethods[] = {
    reduce_def<"SEOContractConfig.__reduce__", reduce_record<SEOContractConfig>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kConfigSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "SEOContractConfig(canonical_host, *, scheme=\"https\", defaults=None, rules=None, "
         "exceptions=None)\n--\n\n"
         "Input configuration for building a contract.\n\n"
         "canonical_host and scheme are taken as given. defaults is an SEOExpectation;\n"
         "rules a sequence of SEOContractRule, kept in order; exceptions a sequence of\n"
         "(route path, SEOExpectation) tuples, ordered by path, where a repeated path\n"
         "keeps its last expectation. Wrong types raise TypeError.")},
    {Py_tp_new, reinterpret_cast<void*>(&config_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOContractConfig>::dealloc)},
    {Py_tp_methods, kConfigMethods},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<SEOContractConfig>)},
    {0, nullptr},
};

PyType_Spec kConfigSpec = {"zoret._zoret_native.SEOContractConfig",
                           sizeof(Box<SEOContractConfig>), 0, kFinalClassFlags, kConfigSlots};

constexpr Signature kToJsonSig{"SEOContract.to_json", {}, 0, 0};
constexpr Signature kToDictSig{"SEOContract.to_dict", {}, 0, 0};
constexpr Signature kHashSig{"SEOContract.hash", {}, 0, 0};
constexpr const char* kWriteParams[] = {"path"};
constexpr Signature kWriteSig{"SEOContract.write", kWriteParams, 1, 1};

PyObject* contract_site(PyObject* self, void*) {
  return guard([&] {
    const ContractSite& site = Box<SEOContract>::of(self).site;
    return DictBuilder().add("canonical_host", site.canonical_host).add("scheme", site.scheme).finish();
  });
}

PyObject* contract_to_json_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    if (!bind_args(kToJsonSig, args, nargs, kwnames, nullptr)) return nullptr;
    return to_py(std::string_view(contract_to_json(Box<SEOContract>::of(self))));
  });
}

PyObject* contract_to_dict_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    if (!bind_args(kToDictSig, args, nargs, kwnames, nullptr)) return nullptr;
    return record_text_to_pydict(contract_to_compact_json(Box<SEOContract>::of(self)));
  });
}

PyObject* contract_hash_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    if (!bind_args(kHashSig, args, nargs, kwnames, nullptr)) return nullptr;
    Result<std::string> digest = contract_hash(Box<SEOContract>::of(self));
    if (!digest) return raise_display_as_value_error(digest.error());
    return to_py(std::string_view(*digest));
  });
}

PyObject* contract_write_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* a[1];
    std::string path;
    if (!bind_args(kWriteSig, args, nargs, kwnames, a) || !arg(a[0], "path", path))
      return nullptr;
    Result<void> written = write_contract(Box<SEOContract>::of(self), path);
    if (!written) return raise_display_as_os_error(written.error());
    Py_RETURN_NONE;
  });
}

PyGetSetDef kContractProperties[] = {
    property<&SEOContract::contract_version>("contract_version",
                                             "The contract format version, '1'."),
    {"site", &contract_site, nullptr,
     "A new dict with the site's 'canonical_host' and 'scheme'.", nullptr},
    {},
};

PyMethodDef kContractMethods[] = {
    fast_def("to_json", contract_to_json_method,
             "to_json($self)\n--\n\n"
             "Returns the contract as JSON text.\n\n"
             "Members in file order, two-space indentation, no final newline. Raises\n"
             "ValueError if the contract cannot be encoded."),
    fast_def("to_dict", contract_to_dict_method,
             "to_dict($self)\n--\n\n"
             "Returns the contract as a new dict.\n\n"
             "Keys come in ascending order at every level; absent expectation fields\n"
             "are absent keys. Raises ValueError with the encoder's or parser's text."),
    fast_def("hash", contract_hash_method,
             "hash($self)\n--\n\n"
             "Returns the SHA-256 of to_json() as 64 lower-case hexadecimal digits.\n\n"
             "Raises ValueError if the contract cannot be encoded."),
    fast_def("write", contract_write_method,
             "write($self, path)\n--\n\n"
             "Writes to_json() to the file at `path`.\n\n"
             "The file is replaced atomically: a failed or interrupted write leaves an\n"
             "existing file untouched and no temporary file behind. A symbolic link is\n"
             "followed (a dangling one gets its target created); a replaced file keeps\n"
             "its permission bits; a read-only file is refused as open(path, 'w') would\n"
             "refuse it. Devices, FIFOs and files with several hard links are written\n"
             "in place, so that every link shows the new contract.\n\n"
             "`path` must be a str (TypeError otherwise, a path object included).\n"
             "Raises OSError 'serialization error: failed to write contract:\n"
             "<description> (os error N)', with `errno` N, when the file cannot be\n"
             "written, and OSError '... failed to write contract: embedded null byte'\n"
             "for a path holding a NUL character, before anything is touched."),
    reduce_def<"SEOContract.__reduce__", reduce_through_site<SEOContract>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kContractSlots[] = {
    {Py_tp_doc,
     const_cast<char*>("A generated, machine-readable SEO contract.\n\n"
                       "Made by build_seo_contract(); it has no constructor.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOContract>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<SEOContract>)},
    {Py_tp_getset, kContractProperties},
    {Py_tp_methods, kContractMethods},
    {0, nullptr},
};

PyType_Spec kContractSpec = {"zoret._zoret_native.SEOContract", sizeof(Box<SEOContract>), 0,
                             kNoConstructorFlags, kContractSlots};

}  // namespace

PyType_Spec* contract_spec() { return &kContractSpec; }
PyType_Spec* contract_config_spec() { return &kConfigSpec; }
PyType_Spec* contract_rule_spec() { return &kRuleSpec; }
PyType_Spec* expectation_spec() { return &kExpectationSpec; }

}  // namespace zoret::py
