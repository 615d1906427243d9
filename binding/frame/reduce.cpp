#include "frame/reduce.hpp"

namespace zoret::py {

PyObject* ArgsCollector::reduce_with(PyObject* callable, PyObject* cls) {
  if (!ok()) return nullptr;
  Ref args = Ref::steal(PyList_AsTuple(args_.get()));
  if (!args) return nullptr;
  Ref call = Ref::steal(PyTuple_Pack(3, cls, args.get(), kwargs_.get()));
  return call ? PyTuple_Pack(2, callable, call.get()) : nullptr;
}

PyObject* ArgsCollector::reduce_to_constructor(PyObject* self) {
  Ref copyreg = Ref::steal(PyImport_ImportModule("copyreg"));
  if (!copyreg) return nullptr;
  Ref newobj = Ref::steal(PyObject_GetAttrString(copyreg.get(), "__newobj_ex__"));
  if (!newobj) return nullptr;
  return reduce_with(newobj.get(), reinterpret_cast<PyObject*>(Py_TYPE(self)));
}

}  // namespace zoret::py
