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
// build_seo_contract(config) -> SEOContract
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "types/classes.hpp"
#include "zoret/contract/builder.hpp"
#include "zoret/contract/model.hpp"

namespace zoret::py {

/// The Python rule keeps the severity text the caller wrote, so `severity` can
/// hand it back unchanged; the text becomes a ContractSeverity only when a
/// configuration is built from the rule.
struct ContractRuleArgs {
  std::string match;
  SEOExpectation expect;
  std::optional<std::string> severity;
};

template <>
inline constexpr const char* kClassName<SEOExpectation> = "SEOExpectation";
template <>
inline constexpr const char* kClassName<ContractRuleArgs> = "SEOContractRule";
template <>
inline constexpr const char* kClassName<SEOContractConfig> = "SEOContractConfig";
template <>
inline constexpr const char* kClassName<SEOContract> = "SEOContract";

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
    PyObject* a[std::size(kExpectationParams)];
    if (!bind_args(kExpectationSig, args, kwargs, a)) return nullptr;
    SEOExpectation e;
    std::optional<bool> schema_required, og, twitter, sitemap, hreflang;
    std::optional<std::vector<std::string>> schema_types;
    std::optional<SEOExpectation> title, description;
    if (!arg(a[0], "required", e.required) || !arg(a[1], "forbidden", e.forbidden) ||
        !arg(a[2], "equals", e.equals) || !arg(a[3], "not_equals", e.not_equals) ||
        !arg(a[4], "contains", e.contains) || !arg(a[5], "matches", e.matches) ||
        !arg(a[6], "one_of", e.one_of) || !arg(a[7], "min_length", e.min_length) ||
        !arg(a[8], "max_length", e.max_length) || !arg(a[9], "min_items", e.min_items) ||
        !arg(a[10], "max_items", e.max_items) || !arg(a[11], "indexable", e.indexable) ||
        !arg(a[12], "canonical", e.canonical) ||
        !arg(a[13], "schema_required", schema_required) ||
        !arg(a[14], "schema_types", schema_types) || !arg(a[15], "og_required", og) ||
        !arg(a[16], "twitter_required", twitter) ||
        !arg(a[17], "sitemap_required", sitemap) ||
        !arg(a[18], "hreflang_required", hreflang) || !arg(a[19], "title", title) ||
        !arg(a[20], "description", description))
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
    return Box<SEOExpectation>::create(std::move(e), type);
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
    {0, nullptr},
};

PyType_Spec kExpectationSpec = {"zoret._zoret_native.SEOExpectation",
                                sizeof(Box<SEOExpectation>), 0, kFinalClassFlags,
                                kExpectationSlots};

constexpr const char* kRuleParams[] = {"match", "expect", "severity"};
constexpr Signature kRuleSig{"SEOContractRule.__new__", kRuleParams, 2, 2};

PyObject* rule_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    PyObject* a[3];
    ContractRuleArgs rule;
    if (!bind_args(kRuleSig, args, kwargs, a) || !arg(a[0], "match", rule.match) ||
        !arg(a[1], "expect", rule.expect) || !arg(a[2], "severity", rule.severity))
      return nullptr;
    return Box<ContractRuleArgs>::create(std::move(rule), type);
  });
}

PyObject* rule_expect(PyObject* self, void*) {
  return guard([&] { return Box<SEOExpectation>::create(Box<ContractRuleArgs>::of(self).expect); });
}

PyGetSetDef kRuleProperties[] = {
    property<&ContractRuleArgs::match>("match", "The route pattern, for example '/blog/*'."),
    {"expect", &rule_expect, nullptr, "A copy of the rule's expectation.", nullptr},
    property<&ContractRuleArgs::severity>("severity", "The severity text as given, or None."),
    {},
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
    {0, nullptr},
};

PyType_Spec kRuleSpec = {"zoret._zoret_native.SEOContractRule", sizeof(Box<ContractRuleArgs>), 0,
                         kFinalClassFlags, kRuleSlots};

constexpr const char* kConfigParams[] = {"canonical_host", "scheme", "defaults", "rules",
                                         "exceptions"};
constexpr Signature kConfigSig{"SEOContractConfig.__new__", kConfigParams, 1, 1};

SEOContractRule to_core_rule(ContractRuleArgs&& rule) {
  SEOContractRule out{.match = std::move(rule.match), .expect = std::move(rule.expect)};
  if (rule.severity) out.severity = contract_severity_from_text(*rule.severity);
  return out;
}

PyObject* config_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    PyObject* a[5];
    SEOContractConfig config;
    std::optional<SEOExpectation> defaults;
    std::optional<std::vector<ContractRuleArgs>> rules;
    std::optional<std::vector<std::pair<std::string, SEOExpectation>>> exceptions;
    if (!bind_args(kConfigSig, args, kwargs, a) ||
        !arg(a[0], "canonical_host", config.canonical_host) ||
        !arg(a[1], "scheme", config.scheme) || !arg(a[2], "defaults", defaults) ||
        !arg(a[3], "rules", rules) || !arg(a[4], "exceptions", exceptions))
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
    return Box<SEOContractConfig>::create(std::move(config), type);
  });
}

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
    Json object = Json::object();
    object["canonical_host"] = site.canonical_host;
    object["scheme"] = site.scheme;
    return json_to_pydict(object);
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
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kContractSlots[] = {
    {Py_tp_doc,
     const_cast<char*>("A generated, machine-readable SEO contract.\n\n"
                       "Made by build_seo_contract(); it has no constructor.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOContract>::dealloc)},
    {Py_tp_getset, kContractProperties},
    {Py_tp_methods, kContractMethods},
    {0, nullptr},
};

PyType_Spec kContractSpec = {"zoret._zoret_native.SEOContract", sizeof(Box<SEOContract>), 0,
                             kNoConstructorFlags, kContractSlots};

constexpr const char* kBuildParams[] = {"config"};
constexpr Signature kBuildSig{"build_seo_contract", kBuildParams, 1, 1};

PyObject* build_seo_contract(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* a[1];
    const SEOContractConfig* config = nullptr;
    if (!bind_args(kBuildSig, args, nargs, kwnames, a) || !arg_ref(a[0], "config", config))
      return nullptr;
    return Box<SEOContract>::create(build_contract(*config));
  });
}

}  // namespace

ClassDef contract_class() { return class_def<SEOContract>(&kContractSpec); }
ClassDef contract_config_class() { return class_def<SEOContractConfig>(&kConfigSpec); }
ClassDef contract_rule_class() { return class_def<ContractRuleArgs>(&kRuleSpec); }
ClassDef expectation_class() { return class_def<SEOExpectation>(&kExpectationSpec); }

const PyMethodDef kBuildSeoContractDef = fast_def(
    "build_seo_contract", build_seo_contract,
    "build_seo_contract(config)\n--\n\n"
    "Builds a machine-readable SEO contract.\n\n"
    "Returns a new SEOContract (version '1', generator zoret 0.2.0) holding the\n"
    "configuration's site, defaults, rules and exceptions unchanged. Raises\n"
    "TypeError when `config` is not an SEOContractConfig.");

}  // namespace zoret::py
