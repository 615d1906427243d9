#pragma once

#include <Python.h>

namespace zoret::py {

/// Signature of every module function and method: vectorcall arguments.
using FastFunction = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

inline PyMethodDef fast_def(const char* name, FastFunction fn, const char* doc) {
  return PyMethodDef{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn)),
                     METH_FASTCALL | METH_KEYWORDS, doc};
}

// The module functions, each defined beside the class family it belongs to.
extern const PyMethodDef kBuildSeoContractDef;
extern const PyMethodDef kBuildSeoPayloadDef;
extern const PyMethodDef kBuildSeoPayloadDictDef;
extern const PyMethodDef kBuildSeoPayloadWithOverridesDef;
extern const PyMethodDef kCleanQueryFnDef;
extern const PyMethodDef kCleanUrlFnDef;
extern const PyMethodDef kNormalizePathFnDef;
extern const PyMethodDef kNormalizePublicUrlFnDef;
extern const PyMethodDef kValidatePayloadDef;

}  // namespace zoret::py
