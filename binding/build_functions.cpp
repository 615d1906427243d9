// build_seo_payload(entity, route, config, overrides=None) -> SEOPayload
// build_seo_payload_with_overrides(entity, route, config, overrides) -> SEOPayload
// build_seo_payload_dict(entity, route, config, overrides=None) -> dict
//
// After the core build, three Python-side steps run in order on the payload: the
// configuration's schema registry, its hooks, and the warnings of validation.
#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "types/model.hpp"
#include "types/payload.hpp"
#include "zoret/builder.hpp"
#include "zoret/validation.hpp"

namespace zoret::py {
namespace {

constexpr const char* kParams[] = {"entity", "route", "config", "overrides"};
constexpr Signature kBuildSig{"build_seo_payload", kParams, 4, 3};
constexpr Signature kBuildDictSig{"build_seo_payload_dict", kParams, 4, 3};
constexpr Signature kBuildWithOverridesSig{"build_seo_payload_with_overrides", kParams, 4, 4};

/// Fresh copies for Python code, so that nothing it does reaches the caller's objects.
struct PythonCopies {
  Ref entity;
  Ref config;
  bool make(const SEOEntity& entity_record, PyObject* config_obj) {
    entity = Ref::steal(Box<SEOEntity>::create(entity_record));
    if (!entity) return false;
    config = Ref::steal(new_config_object(config_record(config_obj), config_hooks(config_obj),
                                          config_schema_registry(config_obj)));
    return static_cast<bool>(config);
  }
};

PyObject* call_method(PyObject* target, const char* name, std::initializer_list<PyObject*> args) {
  Ref method = Ref::steal(PyObject_GetAttrString(target, name));
  if (!method) return nullptr;
  Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(args.size())));
  if (!tuple) return nullptr;
  Py_ssize_t i = 0;
  for (PyObject* item : args) PyTuple_SetItem(tuple.get(), i++, Ref::borrow(item).release());
  return PyObject_Call(method.get(), tuple.get(), nullptr);
}

// A generator registered for the JSON-LD's "@type" replaces the whole JSON-LD.
bool apply_schema_registry(SEOPayload& payload, const SEOEntity& entity, PyObject* config_obj) {
  PyObject* registry = config_schema_registry(config_obj);
  if (registry == nullptr || !payload.schema_jsonld || !payload.schema_jsonld->is_object())
    return true;
  const auto type = payload.schema_jsonld->find("@type");
  if (type == payload.schema_jsonld->end() || !type->is_string()) return true;

  Ref schema_type = Ref::steal(to_py(std::string_view(type->get_ref<const std::string&>())));
  if (!schema_type) return false;
  Ref has = Ref::steal(call_method(registry, "has", {schema_type.get()}));
  bool registered = false;
  if (!has || !convert(has.get(), registered)) return false;
  if (!registered) return true;

  PythonCopies copies;
  if (!copies.make(entity, config_obj)) return false;
  Ref canonical = Ref::steal(to_py(std::string_view(payload.canonical)));
  Ref title = Ref::steal(to_py(std::string_view(payload.title)));
  Ref description = Ref::steal(to_py(std::string_view(payload.description)));
  Ref image = Ref::steal(to_py(payload.og.image));
  if (!canonical || !title || !description || !image) return false;
  Ref generated = Ref::steal(call_method(
      registry, "generate",
      {schema_type.get(), copies.entity.get(), copies.config.get(), canonical.get(), title.get(),
       description.get(), image.get()}));
  if (!generated) return false;
  if (generated.get() == Py_None) return true;
  Json value;
  if (!py_to_json_value(generated.get(), value)) return false;
  payload.schema_jsonld = std::move(value);
  return true;
}

// The hooks see the payload as a dictionary; what they leave is read back whole.
bool apply_hooks(SEOPayload& payload, const SEOEntity& entity, PyObject* config_obj) {
  PyObject* hooks = config_hooks(config_obj);
  if (hooks == nullptr) return true;
  Ref dict = Ref::steal(json_to_pydict(payload.to_dict()));
  if (!dict) return false;
  PythonCopies copies;
  if (!copies.make(entity, config_obj)) return false;
  Ref stage = Ref::steal(PyUnicode_FromString("post_process"));
  if (!stage) return false;
  Ref result = Ref::steal(
      call_method(hooks, "run", {stage.get(), dict.get(), copies.entity.get(), copies.config.get()}));
  if (!result) return false;
  PyObject* chosen = dict.get();
  if (result.get() != Py_None) {
    if (!PyDict_Check(result.get())) {
      raise_type_error("post_process hooks must return a dict");
      return false;
    }
    chosen = result.get();
  }
  Json value;
  if (!py_to_json_value(chosen, value)) return false;
  auto rebuilt = SEOPayload::from_dict(value);
  if (!rebuilt) {
    raise_by_kind(rebuilt.error());
    return false;
  }
  payload = *std::move(rebuilt);
  return true;
}

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

enum class Output { Object, Dict };

PyObject* run_build(const Signature& sig, Output output, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames) {
  PyObject* bound[4];
  const SEOEntity* entity = nullptr;
  std::string_view route;
  const SEOConfig* config = nullptr;
  const SEOOverrides* overrides = nullptr;
  if (!bind_args(sig, args, nargs, kwnames, bound) || !arg_ref(bound[0], "entity", entity) ||
      !arg(bound[1], "route", route) || !arg_ref(bound[2], "config", config))
    return nullptr;
  const bool overrides_optional = sig.required_positional < 4;
  if (bound[3] != nullptr && !(overrides_optional && bound[3] == Py_None) &&
      !arg_ref(bound[3], "overrides", overrides))
    return nullptr;

  // Held for the whole call: Python code below may try to reassign the hooks.
  ConfigBorrow borrow(bound[2]);
  auto built = build_seo_payload(*entity, route, *config, overrides);
  if (!built) return raise_by_kind(built.error());
  SEOPayload payload = *std::move(built);
  if (!apply_schema_registry(payload, *entity, bound[2]) || !apply_hooks(payload, *entity, bound[2]) ||
      !emit_warnings(payload, *config))
    return nullptr;
  if (output == Output::Dict) return payload_to_pydict(payload);
  return Box<SEOPayload>::create(std::move(payload));
}

PyObject* build_seo_payload_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&] { return run_build(kBuildSig, Output::Object, args, nargs, kwnames); });
}

PyObject* build_seo_payload_dict_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames) {
  return guard([&] { return run_build(kBuildDictSig, Output::Dict, args, nargs, kwnames); });
}

PyObject* build_seo_payload_with_overrides_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                              PyObject* kwnames) {
  return guard([&] { return run_build(kBuildWithOverridesSig, Output::Object, args, nargs, kwnames); });
}


}  // namespace

const PyMethodDef kBuildSeoPayloadDef = fast_def(
    "build_seo_payload", build_seo_payload_fn,
    "build_seo_payload(entity, route, config, overrides=None)\n--\n\n"
    "Builds a deterministic SEO payload for an entity at a route.\n\n"
    "Resolves title, description, canonical URL, robots, Open Graph, Twitter Card\n"
    "and JSON-LD, then applies config.schema_registry and config.hooks and, with\n"
    "emit_warnings, issues one UserWarning per validation finding.\n"
    "Raises TypeError for wrongly typed arguments, InvalidUrlError or\n"
    "ConfigurationError when a URL cannot be resolved, ZoretError when a hook's\n"
    "dictionary is not a payload; exceptions of hooks and registries pass through.");

const PyMethodDef kBuildSeoPayloadDictDef = fast_def(
    "build_seo_payload_dict", build_seo_payload_dict_fn,
    "build_seo_payload_dict(entity, route, config, overrides=None)\n--\n\n"
    "Builds a payload and returns it as a plain dictionary.\n\n"
    "The same build as build_seo_payload(); the result is SEOPayload.to_dict().");

const PyMethodDef kBuildSeoPayloadWithOverridesDef = fast_def(
    "build_seo_payload_with_overrides", build_seo_payload_with_overrides_fn,
    "build_seo_payload_with_overrides(entity, route, config, overrides)\n--\n\n"
    "Builds a deterministic SEO payload with explicit overrides.\n\n"
    "The same build as build_seo_payload(); `overrides` is required (None is refused).");

}  // namespace zoret::py
