// The module `zoret._zoret_site`: the site-level features (contract checks, site
// outputs, page facts, audit rules), beside the specified zoret._zoret_native and
// built from the same frame. Its classes live only in its namespace, as in
// _zoret_native, so each import makes objects of its own classes.
#include <Python.h>

#include "adopt.hpp"
#include "frame/guard.hpp"
#include "frame/ref.hpp"
#include "parts.hpp"

namespace zoret::py {
namespace {

int add_family(PyObject* module, const SiteFamily& family) {
  for (PyType_Spec* spec : family.classes) {
    Ref type = Ref::steal(PyType_FromModuleAndSpec(module, spec, nullptr));
    if (!type || PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(type.get())) < 0)
      return -1;
  }
  return family.functions != nullptr ? PyModule_AddFunctions(module, family.functions) : 0;
}

int exec_module(PyObject* module) {
  return guard<int>(-1, [&] {
    if (adopt_native_module() < 0) return -1;
    for (const SiteFamily& family : site_families())
      if (add_family(module, family) < 0) return -1;
    return 0;
  });
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "_zoret_site",
    "Site-level features of zoret: contract checks, site outputs and site audit rules.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace zoret::py

PyMODINIT_FUNC PyInit__zoret_site() { return PyModuleDef_Init(&zoret::py::kModule); }
