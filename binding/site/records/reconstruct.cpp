// _reconstruct(cls, args, kwargs, /)
//   Makes a record of one of the classes of zoret._zoret_native that the module alone
//   creates, from what the record's __reduce__ gave, as if the class had this
//   constructor:
//     SEOPayload(dictionary, schema_jsonld)    dictionary form and JSON-LD as compact
//                                              JSON text (schema_jsonld None: absent)
//     OGPayload(type, *, title=None, description=None, url=None, image=None,
//               image_width=None, image_height=None, image_alt=None, site_name=None,
//               locale=None, locale_alternate=None, audio=None, video=None)
//     TwitterPayload(card, *, title=None, description=None, image=None,
//                    image_alt=None, site=None, creator=None)
//     SEOIssue(rule_id, severity, message, *, url=None, details=None)
//     SEOContract(contract_version, generator, site, defaults, rules, exceptions)
//   `cls` is that class of whichever import of the module unpickles the record.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/bind.hpp"
#include "frame/errors.hpp"
#include "frame/json_value.hpp"
#include "records/records.hpp"
#include "types/contract.hpp"
#include "types/issue.hpp"
#include "types/payload.hpp"

namespace zoret::py {
namespace {

Result<Json> parse_state(std::string_view text) {
  auto parsed = parse_json(text);
  if (!parsed) raise_message_as_value_error(parsed.error().message());
  return parsed;
}

constexpr const char* kPayloadParams[] = {"dictionary", "schema_jsonld"};
constexpr Signature kPayloadSig{"SEOPayload", kPayloadParams, 2, 2};

PyObject* restore_payload(PyTypeObject* cls, const CallArgs& call) {
  std::string_view dictionary;
  std::optional<std::string_view> jsonld_text;
  if (!bind<kPayloadSig>(call, dictionary, jsonld_text)) return nullptr;
  auto form = parse_state(dictionary);
  if (!form) return nullptr;
  auto payload = SEOPayload::from_dict(*form);
  if (!payload) return raise_by_kind(payload.error());
  if (jsonld_text) {
    auto jsonld = parse_state(*jsonld_text);
    if (!jsonld) return nullptr;
    payload->schema_jsonld = *std::move(jsonld);
  }
  return Box<SEOPayload>::create(cls, *std::move(payload));
}

constexpr const char* kOgParams[] = {
    "type",         "title",     "description", "url",    "image",           "image_width",
    "image_height", "image_alt", "site_name",   "locale", "locale_alternate", "audio",
    "video"};
constexpr Signature kOgSig{"OGPayload", kOgParams, 1, 1};

PyObject* restore_og(PyTypeObject* cls, const CallArgs& call) {
  OGPayload og;
  if (!bind<kOgSig>(call, og.type, og.title, og.description, og.url, og.image, og.image_width,
                    og.image_height, og.image_alt, og.site_name, og.locale, og.locale_alternate,
                    og.audio, og.video))
    return nullptr;
  return Box<OGPayload>::create(cls, std::move(og));
}

constexpr const char* kTwitterParams[] = {"card",      "title", "description", "image",
                                          "image_alt", "site",  "creator"};
constexpr Signature kTwitterSig{"TwitterPayload", kTwitterParams, 1, 1};

PyObject* restore_twitter(PyTypeObject* cls, const CallArgs& call) {
  TwitterPayload tw;
  if (!bind<kTwitterSig>(call, tw.card, tw.title, tw.description, tw.image, tw.image_alt, tw.site,
                         tw.creator))
    return nullptr;
  return Box<TwitterPayload>::create(cls, std::move(tw));
}

constexpr const char* kIssueParams[] = {"rule_id", "severity", "message", "url", "details"};
constexpr Signature kIssueSig{"SEOIssue", kIssueParams, 3, 3};

PyObject* restore_issue(PyTypeObject* cls, const CallArgs& call) {
  Issue issue;
  PyObject* details = nullptr;
  if (!bind<kIssueSig>(call, issue.rule_id, issue.severity, issue.message, issue.url, details))
    return nullptr;
  if (issue.severity != "error" && issue.severity != "warning" && issue.severity != "info")
    return raise_message_as_value_error("invalid severity: " + issue.severity);
  Json value = Json::object();
  if (details != nullptr && details != Py_None && !py_to_json_value(details, value)) return nullptr;
  if (!value.is_object()) return raise_type_error("details must be a dict");
  issue.details_json = to_json_compact(value);
  return Box<Issue>::create(cls, std::move(issue));
}

constexpr const char* kContractParams[] = {"contract_version", "generator", "site",
                                           "defaults",         "rules",     "exceptions"};
constexpr Signature kContractSig{"SEOContract", kContractParams, 6, 6};

PyObject* restore_contract(PyTypeObject* cls, const CallArgs& call) {
  SEOContract contract;
  std::pair<std::string, std::string> generator, site;
  std::vector<ContractRuleArgs> rules;
  std::vector<std::pair<std::string, SEOExpectation>> exceptions;
  if (!bind<kContractSig>(call, contract.contract_version, generator, site, contract.defaults,
                          rules, exceptions))
    return nullptr;
  contract.generator = {std::move(generator.first), std::move(generator.second)};
  contract.site = {std::move(site.first), std::move(site.second)};
  contract.rules.reserve(rules.size());
  for (ContractRuleArgs& rule : rules) contract.rules.push_back(to_core_rule(std::move(rule)));
  for (auto& [path, expectation] : exceptions)
    contract.exceptions.insert_or_assign(std::move(path), std::move(expectation));
  return Box<SEOContract>::create(cls, std::move(contract));
}

constexpr const char* kParams[] = {"cls", "args", "kwargs"};
constexpr Signature kSig{"_reconstruct", kParams, 3, 3, 3};

PyObject* reconstruct(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* cls = nullptr;
    PyObject* call_args = nullptr;
    PyObject* call_kwargs = nullptr;
    if (!bind<kSig>(CallArgs(args, nargs, kwnames), cls, call_args, call_kwargs)) return nullptr;
    if (!PyTuple_Check(call_args) || !PyDict_Check(call_kwargs))
      return raise_type_error("_reconstruct() takes a class, a tuple and a dict");
    const CallArgs call(call_args, call_kwargs);
    if (PyType_Check(cls)) {
      auto* type = reinterpret_cast<PyTypeObject*>(cls);
      if (Box<SEOPayload>::is_class(type)) return restore_payload(type, call);
      if (Box<OGPayload>::is_class(type)) return restore_og(type, call);
      if (Box<TwitterPayload>::is_class(type)) return restore_twitter(type, call);
      if (Box<Issue>::is_class(type)) return restore_issue(type, call);
      if (Box<SEOContract>::is_class(type)) return restore_contract(type, call);
    }
    PyErr_Format(PyExc_TypeError, "_reconstruct() cannot make %R objects", cls);
    return nullptr;
  });
}

PyMethodDef kFunctions[] = {
    fast_def("_reconstruct", reconstruct,
             "_reconstruct(cls, args, kwargs, /)\n--\n\n"
             "Rebuilds a pickled or copied record of a class that has no constructor."),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* record_functions() { return kFunctions; }

}  // namespace zoret::py
