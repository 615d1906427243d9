// SchemaRegistry()
//   has(schema_type) -> bool
//   list_types() -> list[str]
//   pickling and copying through the constructor (a registry holds no state of its own)
#include <memory>

#include "classes.hpp"
#include "frame/bind.hpp"
#include "types/record_slots.hpp"
#include "zoret/jsonld/schema.hpp"

namespace zoret::py {

/// The registry sits behind a pointer because it owns a lock and cannot move.
struct NativeRegistry {
  std::shared_ptr<SchemaRegistry> registry = std::make_shared<SchemaRegistry>();
};
template <>
inline constexpr const char* kClassName<NativeRegistry> = "SchemaRegistry";

namespace {

constexpr Signature kNewSig{"SchemaRegistry.__new__"};
constexpr const char* kHasParams[] = {"schema_type"};
constexpr Signature kHasSig{"SchemaRegistry.has", kHasParams, 1, 1};

PyObject* registry_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    if (!bind<kNewSig>(CallArgs(args, kwargs))) return nullptr;
    return Box<NativeRegistry>::create(type, NativeRegistry{});
  });
}

PyObject* registry_has(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view name;
    if (!bind<kHasSig>(CallArgs(args, nargs, kwnames), name)) return nullptr;
    return to_py(Box<NativeRegistry>::of(self).registry->has(name));
  });
}

PyObject* registry_list_types(PyObject* self) {
  // The lock is held only while the names are copied, not while Python objects are made.
  const std::vector<std::string> names = Box<NativeRegistry>::of(self).registry->list_types();
  return to_py(names);
}

PyObject* registry_reduce(PyObject* self) {
  Ref empty = Ref::steal(PyTuple_New(0));
  return empty ? PyTuple_Pack(2, reinterpret_cast<PyObject*>(Py_TYPE(self)), empty.get()) : nullptr;
}

PyMethodDef kMethods[] = {
    reduce_def<"SchemaRegistry.__reduce__", registry_reduce>(),
    fast_def("has", registry_has,
             "has($self, /, schema_type)\n--\n\n"
             "True when a native builder is registered under exactly `schema_type`."),
    fast_def("list_types", no_args<"SchemaRegistry.list_types", registry_list_types>,
             "list_types($self, /)\n--\n\nThe registered schema type names, in byte order."),
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "SchemaRegistry()\n--\n\n"
                    "A native introspection handle for the core's schema registry.\n\n"
                    "It only answers has() and list_types(); Python generators belong in\n"
                    "zoret.registry.SchemaRegistry, passed as SEOConfig(schema_registry=...).")},
    {Py_tp_new, reinterpret_cast<void*>(&registry_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<NativeRegistry>::dealloc)},
    {Py_tp_methods, kMethods},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SchemaRegistry", sizeof(Box<NativeRegistry>), 0,
                     kFinalClassFlags, kSlots};

}  // namespace

PyType_Spec* schema_registry_spec() { return &kSpec; }

}  // namespace zoret::py
