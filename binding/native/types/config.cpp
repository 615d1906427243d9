// SEOConfig(canonical_host, public_base_url, *, url_policy=None, default_robots=None,
//           default_og_image=None, site_name=None, title_template=None,
//           search_robots=None, auto_generate_schema=True, publisher_name=None,
//           publisher_logo=None, locale=None, locale_alternate=None, twitter_site=None,
//           emit_warnings=False, schema_type_map=None, search_url_template=None,
//           hooks=None, schema_registry=None)
//   .hooks, .schema_registry -> object | None (read-write; None clears)
//   .to_dict() -> dict
//   repr(); pickling and copying through the constructor, hooks and registry included
#include <string>
#include <utility>
#include <vector>

#include "classes.hpp"
#include "frame/bind.hpp"
#include "types/model.hpp"
#include "types/record_slots.hpp"

namespace zoret::py {

namespace {
ConfigObject& config_object(PyObject* obj) { return *reinterpret_cast<ConfigObject*>(obj); }

// Takes a new object of SEOConfig (or nullptr with the error set); `hooks` and
// `schema_registry` are nullptr for None.
PyObject* with_references(PyObject* self, PyObject* hooks, PyObject* schema_registry) {
  if (self == nullptr) return nullptr;
  // The allocator zero-fills, so the references start out empty.
  ConfigObject& config = config_object(self);
  Py_XINCREF(hooks);
  config.hooks = hooks;
  Py_XINCREF(schema_registry);
  config.schema_registry = schema_registry;
  return self;
}

}  // namespace

PyObject* new_config_object(PyObject* module, const SEOConfig& record, PyObject* hooks,
                            PyObject* schema_registry) {
  return with_references(Box<SEOConfig>::create_in(module, record), hooks, schema_registry);
}

namespace {

constexpr const char* kParams[] = {
    "canonical_host", "public_base_url", "url_policy", "default_robots", "default_og_image",
    "site_name", "title_template", "search_robots", "auto_generate_schema", "publisher_name",
    "publisher_logo", "locale", "locale_alternate", "twitter_site", "emit_warnings",
    "schema_type_map", "search_url_template", "hooks", "schema_registry"};
constexpr Signature kSig{"SEOConfig.__new__", kParams, 2, 2};

using SchemaPairs = std::vector<std::pair<std::string, std::string>>;

// The pairs replace the built-in map entirely; a repeated key keeps its last value.
SchemaTypeMap schema_map_from_pairs(SchemaPairs&& pairs) {
  SchemaTypeMap map;
  for (auto& [key, value] : pairs) map.insert_or_assign(std::move(key), std::move(value));
  return map;
}

PyObject* config_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    SEOConfig c;
    std::optional<URLPolicyValue> policy;
    std::optional<Robots> default_robots;
    std::optional<Robots> search_robots;
    std::optional<SchemaPairs> schema_pairs;
    PyObject* hooks = nullptr;
    PyObject* schema_registry = nullptr;
    if (!bind<kSig>(CallArgs(args, kwargs), c.canonical_host, c.public_base_url, policy,
                    default_robots, c.default_og_image, c.site_name, c.title_template,
                    search_robots, c.auto_generate_schema, c.publisher_name, c.publisher_logo,
                    c.locale, c.locale_alternate, c.twitter_site, c.emit_warnings, schema_pairs,
                    c.search_url_template, hooks, schema_registry))
      return nullptr;
    if (policy && !to_core_policy(*policy, c.url_policy)) return nullptr;
    // A value-initialised record already holds both default robots and the
    // built-in schema map; only given values replace them.
    if (default_robots) c.default_robots = *std::move(default_robots);
    if (search_robots) c.search_robots = *std::move(search_robots);
    if (schema_pairs) c.schema_type_map = schema_map_from_pairs(*std::move(schema_pairs));
    if (auto valid = validate(c); !valid) return raise_by_kind(valid.error());

    return with_references(Box<SEOConfig>::create(type, std::move(c)),
                           hooks == Py_None ? nullptr : hooks,
                           schema_registry == Py_None ? nullptr : schema_registry);
  });
}

int config_traverse(PyObject* self, visitproc visit, void* arg) {
  ConfigObject& config = config_object(self);
  Py_VISIT(config.hooks);
  Py_VISIT(config.schema_registry);
  // Instances of heap types keep their type alive, so the collector must see it.
  Py_VISIT(reinterpret_cast<PyObject*>(Py_TYPE(self)));
  return 0;
}

int config_clear(PyObject* self) {
  ConfigObject& config = config_object(self);
  Py_CLEAR(config.hooks);
  Py_CLEAR(config.schema_registry);
  return 0;
}

PyObject* get_reference(PyObject* stored) {
  if (stored == nullptr) Py_RETURN_NONE;
  Py_INCREF(stored);
  return stored;
}

// Assigning takes the object's exclusive borrow, which a running build's shared
// borrow blocks: the build has handed these objects to Python code.
int set_reference(PyObject* self, PyObject** slot, PyObject* value) {
  if (value == nullptr) {
    raise_type_error("can't delete attribute");
    return -1;
  }
  if (config_object(self).borrow_count > 0) {
    PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
    return -1;
  }
  PyObject* old = *slot;
  if (value == Py_None) {
    *slot = nullptr;
  } else {
    Py_INCREF(value);
    *slot = value;
  }
  // Released last: dropping the old object may run arbitrary Python code.
  Py_XDECREF(old);
  return 0;
}

PyObject* hooks_getter(PyObject* self, void*) { return get_reference(config_object(self).hooks); }

int hooks_setter(PyObject* self, PyObject* value, void*) {
  return set_reference(self, &config_object(self).hooks, value);
}

PyObject* registry_getter(PyObject* self, void*) {
  return get_reference(config_object(self).schema_registry);
}

int registry_setter(PyObject* self, PyObject* value, void*) {
  return set_reference(self, &config_object(self).schema_registry, value);
}

PyObject* config_to_dict(PyObject* self) {
  std::string text;
  append_record_json(text, config_record(self), /*pretty=*/false);
  return record_text_to_pydict(text);
}

// The hooks' or registry's repr may show this configuration again (a registry
// that keeps its site's configuration); the inner one is then shown as SEOConfig(...).
PyObject* config_repr(PyObject* self) {
  const int entered = Py_ReprEnter(self);
  if (entered != 0) return entered > 0 ? PyUnicode_FromString("SEOConfig(...)") : nullptr;
  PyObject* text = guard([&] { return ReprWriter::repr(config_object(self)); });
  Py_ReprLeave(self);
  return text;
}

PyObject* config_reduce(PyObject* self) { return reduce_by_constructor(self, config_object(self)); }

PyMethodDef kMethods[] = {
    reduce_def<"SEOConfig.__reduce__", config_reduce>(),
    fast_def("to_dict", no_args<"SEOConfig.to_dict", config_to_dict>,
             "to_dict($self, /)\n--\n\n"
             "Returns the configuration as a new dict with sorted keys at every level.\n\n"
             "title_template is always present (None when unset); hooks and\n"
             "schema_registry are not included."),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kProperties[] = {
    {"hooks", &hooks_getter, &hooks_setter,
     "The hook registry object, or None. Assigning None clears it.", nullptr},
    {"schema_registry", &registry_getter, &registry_setter,
     "The schema registry object, or None. Assigning None clears it.", nullptr},
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "SEOConfig(canonical_host, public_base_url, *, url_policy=None, "
         "default_robots=None, default_og_image=None, site_name=None, title_template=None, "
         "search_robots=None, auto_generate_schema=True, publisher_name=None, "
         "publisher_logo=None, locale=None, locale_alternate=None, twitter_site=None, "
         "emit_warnings=False, schema_type_map=None, search_url_template=None, hooks=None, "
         "schema_registry=None)\n--\n\n"
         "Site-wide configuration for payload generation.\n\n"
         "canonical_host is a bare host (a port is fine); public_base_url is the site's\n"
         "base URL. schema_type_map, a sequence of (entity type, schema.org type) pairs,\n"
         "replaces the built-in map. Absent robots default to index,follow and, for\n"
         "search pages, noindex,follow. hooks and schema_registry may be any objects.\n"
         "Raises TypeError for wrongly typed arguments, ValueError for a URLPolicy with\n"
         "an unknown trailing_slash, and ConfigurationError when the host is empty or\n"
         "not host-only, the base URL is empty, or title_template lacks '{title}'.")},
    {Py_tp_new, reinterpret_cast<void*>(&config_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOConfig>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&config_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(&config_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(&config_clear)},
    {Py_tp_free, reinterpret_cast<void*>(&PyObject_GC_Del)},
    {Py_tp_getset, kProperties},
    {Py_tp_methods, kMethods},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SEOConfig", sizeof(ConfigObject), 0,
                     kFinalClassFlags | Py_TPFLAGS_HAVE_GC, kSlots};

}  // namespace

PyType_Spec* config_spec() { return &kSpec; }

}  // namespace zoret::py
