#pragma once

// The slots and methods that make the record classes Pythonic: a repr showing their
// fields, pickling and copying through their constructor (or, for the classes that
// have none, through the restorer of zoret._zoret_site), and, for the immutable
// input records, value equality and hashing. Each reads the record's description
// (describe.hpp).

#include <Python.h>

#include "frame/bind.hpp"
#include "frame/reduce.hpp"
#include "frame/repr.hpp"
#include "frame/value_semantics.hpp"
#include "types/describe.hpp"

namespace zoret::py {

template <class T>
PyObject* record_repr(PyObject* self) {
  return guard([&] { return ReprWriter::repr(Box<T>::of(self)); });
}

template <class T>
PyObject* reduce_record(PyObject* self) {
  return reduce_by_constructor(self, Box<T>::of(self));
}

/// The restorer that stands in for the constructor of the classes only the module
/// makes: `zoret._zoret_site._reconstruct(cls, args, kwargs)`.
PyObject* site_reconstructor();

/// `__reduce__` of a record without a constructor: the restorer and the record's
/// described fields.
template <class T>
PyObject* reduce_through_site(PyObject* self) {
  Ref restorer = Ref::steal(site_reconstructor());
  if (!restorer) return nullptr;
  ArgsCollector args(module_of(self));
  describe(args, Box<T>::of(self));
  return args.reduce_with(restorer.get(), reinterpret_cast<PyObject*>(Py_TYPE(self)));
}

template <class T>
Py_hash_t record_hash(PyObject* self) {
  return guard<Py_hash_t>(-1, [&] { return hash_record<T>(self); });
}

template <class T>
PyObject* record_richcompare(PyObject* self, PyObject* other, int op) {
  return guard([&] { return compare_records<T>(self, other, op); });
}

inline constexpr const char kReduceDoc[] =
    "__reduce__($self, /)\n--\n\n"
    "How pickle and copy rebuild the record: its class and the arguments that make it.";

/// The `__reduce__` entry of a method table; `Name` as in "SEOImage.__reduce__".
template <FixedString Name, PyObject* (*Body)(PyObject*)>
PyMethodDef reduce_def() {
  return fast_def("__reduce__", no_args<Name, Body>, kReduceDoc);
}

}  // namespace zoret::py
