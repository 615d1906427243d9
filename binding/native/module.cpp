// The module `_zoret_native`: registers, in this order, the classes, the
// functions and the exception classes.
#include <Python.h>

#include <vector>

#include "classes.hpp"
#include "frame/errors.hpp"
#include "functions.hpp"

namespace zoret::py {
namespace {

// The module's namespace is the only place its classes are kept: functions and
// methods look their classes up there (Box<T>::create_in), so each import and each
// interpreter makes objects of its own classes.
int add_classes(PyObject* module) {
  for (PyType_Spec* spec : all_classes()) {
    Ref type = Ref::steal(PyType_FromModuleAndSpec(module, spec, nullptr));
    if (!type || PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(type.get())) < 0)
      return -1;
  }
  return 0;
}

int add_functions(PyObject* module) {
  // Held for the life of the process: function objects point into this table.
  static PyMethodDef functions[] = {
      kBuildSeoContractDef,
      kBuildSeoPayloadDef,
      kBuildSeoPayloadDictDef,
      kBuildSeoPayloadWithOverridesDef,
      kCleanQueryFnDef,
      kCleanUrlFnDef,
      kNormalizePathFnDef,
      kNormalizePublicUrlFnDef,
      kValidatePayloadDef,
      {nullptr, nullptr, 0, nullptr},
  };
  return PyModule_AddFunctions(module, functions);
}

int exec_module(PyObject* module) {
  return guard<int>(-1, [&] {
    if (add_classes(module) < 0 || add_functions(module) < 0) return -1;
    return add_exception_classes(module);
  });
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "_zoret_native",
    "Python bindings of the zoret core library.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace zoret::py

PyMODINIT_FUNC PyInit__zoret_native() { return PyModuleDef_Init(&zoret::py::kModule); }
