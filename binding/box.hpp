#pragma once

#include <Python.h>

#include <new>
#include <utility>

#include "ref.hpp"

namespace zoret::py {

/// Name of the Python class that holds a `T`; specialised next to each class.
template <class T>
inline constexpr const char* kClassName = nullptr;

template <class T>
concept Boxed = kClassName<T> != nullptr;

/// A Python object holding one core record by value.
template <class T>
struct Box {
  PyObject_HEAD
  T value;

  /// The class made by the latest import of the module; new objects get it.
  static inline PyTypeObject* type = nullptr;

  static void dealloc(PyObject* self) {
    PyTypeObject* tp = Py_TYPE(self);
    reinterpret_cast<Box*>(self)->value.~T();
    auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(tp, Py_tp_free));
    free_fn(self);
    Py_DECREF(tp);
  }

  // Identified by the dealloc slot rather than by class identity, so objects made
  // before a re-import of the module are still accepted.
  static bool is_instance(PyObject* obj) {
    return PyType_GetSlot(Py_TYPE(obj), Py_tp_dealloc) == reinterpret_cast<void*>(&dealloc);
  }

  static T& of(PyObject* obj) { return reinterpret_cast<Box*>(obj)->value; }

  /// A new instance of `tp` (default: the current class) holding `value`.
  static PyObject* create(T value, PyTypeObject* tp = nullptr) {
    if (tp == nullptr) tp = type;
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(tp, Py_tp_alloc));
    PyObject* self = alloc(tp, 0);
    if (self == nullptr) return nullptr;
    new (&reinterpret_cast<Box*>(self)->value) T(std::move(value));
    return self;
  }
};

inline constexpr unsigned kFinalClassFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
/// For classes whose instances only the module makes.
inline constexpr unsigned kNoConstructorFlags = kFinalClassFlags | Py_TPFLAGS_DISALLOW_INSTANTIATION;

/// One class of the module: its spec and where the created class is remembered.
struct ClassDef {
  PyType_Spec* spec;
  PyTypeObject** type_slot;
};

template <class T>
ClassDef class_def(PyType_Spec* spec) {
  return ClassDef{spec, &Box<T>::type};
}

}  // namespace zoret::py
