// build_seo_payload(entity, route, config, overrides=None) -> SEOPayload
// build_seo_payload_with_overrides(entity, route, config, overrides) -> SEOPayload
// build_seo_payload_dict(entity, route, config, overrides=None) -> dict
//
// After the core build, three Python-side steps run in order on the payload: the
// configuration's schema registry, its hooks, and the warnings of validation.
#include "frame/bind.hpp"
#include "functions.hpp"
#include "steps/steps.hpp"
#include "types/model.hpp"
#include "types/payload.hpp"
#include "zoret/builder.hpp"

namespace zoret::py {
namespace {

constexpr const char* kParams[] = {"entity", "route", "config", "overrides"};
constexpr Signature kBuildSig{"build_seo_payload", kParams, 4, 3};
constexpr Signature kBuildDictSig{"build_seo_payload_dict", kParams, 4, 3};
constexpr Signature kBuildWithOverridesSig{"build_seo_payload_with_overrides", kParams, 4, 4};

enum class Output { Object, Dict };

// `config_obj` is the SEOConfig that `config` was borrowed from.
PyObject* run_build(PyObject* module, Output output, const SEOEntity& entity, std::string_view route,
                    const SEOConfig& config, PyObject* config_obj, const SEOOverrides* overrides) {
  // Held for the whole call: Python code below may try to reassign the hooks.
  ConfigBorrow borrow(config_obj);
  auto built = build_seo_payload(entity, route, config, overrides);
  if (!built) return raise_by_kind(built.error());
  SEOPayload& payload = *built;
  if (!apply_schema_registry(module, payload, entity, config_obj) ||
      !apply_hooks(module, payload, entity, config_obj) || !emit_warnings(payload, config))
    return nullptr;
  if (output == Output::Dict) return payload_to_pydict(payload);
  return Box<SEOPayload>::create_in(module, std::move(payload));
}

// `overrides` may be None: build_seo_payload and build_seo_payload_dict.
template <const Signature& Sig, Output Out>
PyObject* build_with_optional_overrides(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                                        PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const SEOEntity* entity = nullptr;
    std::string_view route;
    PyObject* config_obj = nullptr;
    const SEOConfig* config = nullptr;
    std::optional<const SEOOverrides*> overrides;
    if (!bind<Sig>(CallArgs(args, nargs, kwnames), entity, route, ConfigArg{config_obj, config},
                   overrides))
      return nullptr;
    return run_build(module, Out, *entity, route, *config, config_obj, overrides.value_or(nullptr));
  });
}

PyObject* build_seo_payload_with_overrides_fn(PyObject* module, PyObject* const* args,
                                              Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const SEOEntity* entity = nullptr;
    std::string_view route;
    PyObject* config_obj = nullptr;
    const SEOConfig* config = nullptr;
    const SEOOverrides* overrides = nullptr;
    if (!bind<kBuildWithOverridesSig>(CallArgs(args, nargs, kwnames), entity, route,
                                      ConfigArg{config_obj, config}, overrides))
      return nullptr;
    return run_build(module, Output::Object, *entity, route, *config, config_obj, overrides);
  });
}

}  // namespace

const PyMethodDef kBuildSeoPayloadDef = fast_def(
    "build_seo_payload", build_with_optional_overrides<kBuildSig, Output::Object>,
    "build_seo_payload(entity, route, config, overrides=None)\n--\n\n"
    "Builds a deterministic SEO payload for an entity at a route.\n\n"
    "Resolves title, description, canonical URL, robots, Open Graph, Twitter Card\n"
    "and JSON-LD, then applies config.schema_registry and config.hooks and, with\n"
    "emit_warnings, issues one UserWarning per validation finding.\n"
    "Raises TypeError for wrongly typed arguments, InvalidUrlError or\n"
    "ConfigurationError when a URL cannot be resolved, ZoretError when a hook's\n"
    "dictionary is not a payload; exceptions of hooks and registries pass through.");

const PyMethodDef kBuildSeoPayloadDictDef = fast_def(
    "build_seo_payload_dict", build_with_optional_overrides<kBuildDictSig, Output::Dict>,
    "build_seo_payload_dict(entity, route, config, overrides=None)\n--\n\n"
    "Builds a payload and returns it as a plain dictionary.\n\n"
    "The same build as build_seo_payload(); the result is SEOPayload.to_dict().");

const PyMethodDef kBuildSeoPayloadWithOverridesDef = fast_def(
    "build_seo_payload_with_overrides", build_seo_payload_with_overrides_fn,
    "build_seo_payload_with_overrides(entity, route, config, overrides)\n--\n\n"
    "Builds a deterministic SEO payload with explicit overrides.\n\n"
    "The same build as build_seo_payload(); `overrides` is required (None is refused).");

}  // namespace zoret::py
