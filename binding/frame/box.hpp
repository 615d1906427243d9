#pragma once

#include <Python.h>

#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "frame/ref.hpp"

namespace zoret {
struct SEOPayload;
}  // namespace zoret

namespace zoret::py {

/// What an object learns about its record once and keeps; the records of our
/// classes never change after creation. Nothing for most classes.
template <class T>
struct BoxMemo {};

/// Both extension modules make payload objects, so this layout is shared by them.
template <>
struct BoxMemo<SEOPayload> {
  /// Whether every member of the dictionary form converts into Python objects:
  /// -1 until first asked, then 0 or 1.
  signed char converts = -1;
  /// The JSON-LD as compact text, which every output holds; written by the first
  /// head snippet asked for.
  std::string jsonld;
  bool jsonld_written = false;
  /// The JSON text as the str handed out (owned; str is immutable, so every
  /// to_json() returns it), null until first asked for.
  PyObject* pretty_json = nullptr;
  /// The hash, empty until first asked for.
  std::string hash;
  /// The dictionary form converted once, only ever handed out as copies; owned.
  /// Made at the second to_dict(): a payload asked once needs no copy of it.
  PyObject* dict = nullptr;
  bool dict_asked = false;

  BoxMemo() = default;
  BoxMemo(const BoxMemo&) = delete;
  BoxMemo& operator=(const BoxMemo&) = delete;
  ~BoxMemo() {
    Py_XDECREF(dict);
    Py_XDECREF(pretty_json);
  }
};

/// Name of the Python class that holds a `T`; specialised next to each class. It is
/// also the name under which the module that defines the class holds it.
template <class T>
inline constexpr const char* kClassName = nullptr;

template <class T>
concept Boxed = kClassName<T> != nullptr;

/// A Python object holding one core record by value.
template <class T>
struct Box {
  PyObject_HEAD
  T value;
  [[no_unique_address]] BoxMemo<T> memo;

  static void dealloc(PyObject* self) {
    PyTypeObject* tp = Py_TYPE(self);
    reinterpret_cast<Box*>(self)->memo.~BoxMemo<T>();
    reinterpret_cast<Box*>(self)->value.~T();
    auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(tp, Py_tp_free));
    free_fn(self);
    Py_DECREF(tp);
  }

  /// A dealloc slot accepted beside our own: the one of the module that defines the
  /// class, for an extension module built from the same sources that takes objects
  /// of that module's classes.
  static inline void* adopted_dealloc = nullptr;

  /// Whether `tp` holds a `T`: every class made from the PyType_Spec of `T`, by any import
  /// of the module, in any interpreter, has our dealloc slot.
  static bool is_class(PyTypeObject* tp) {
    void* slot = PyType_GetSlot(tp, Py_tp_dealloc);
    return slot == reinterpret_cast<void*>(&dealloc) ||
           (adopted_dealloc != nullptr && slot == adopted_dealloc);
  }

  static bool is_instance(PyObject* obj) { return is_class(Py_TYPE(obj)); }

  static T& of(PyObject* obj) { return reinterpret_cast<Box*>(obj)->value; }
  static BoxMemo<T>& memo_of(PyObject* obj) { return reinterpret_cast<Box*>(obj)->memo; }

  /// A new instance of `tp` (a class for which `is_class` holds) holding `value`,
  /// copied or moved straight into place: a payload is a large record.
  template <class U>
    requires std::is_same_v<std::remove_cvref_t<U>, T>
  static PyObject* create(PyTypeObject* tp, U&& value) {
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(tp, Py_tp_alloc));
    PyObject* self = alloc(tp, 0);
    if (self == nullptr) return nullptr;
    new (&reinterpret_cast<Box*>(self)->value) T(std::forward<U>(value));
    new (&reinterpret_cast<Box*>(self)->memo) BoxMemo<T>();
    return self;
  }

  /// A new instance of the class that `module` defines for `T`. The class is read
  /// from the module's namespace at each call, so a function or method makes objects
  /// of its own module's classes, whichever import or interpreter it belongs to.
  template <class U>
    requires std::is_same_v<std::remove_cvref_t<U>, T>
  static PyObject* create_in(PyObject* module, U&& value) {
    Ref cls = class_in(module);
    if (!cls) return nullptr;
    return create(reinterpret_cast<PyTypeObject*>(cls.get()), std::forward<U>(value));
  }

 private:
  static Ref class_in(PyObject* module) {
    if (module == nullptr) return {};  // the caller's lookup failed and set the error
    // The name as a str is made once and kept for the life of the process: a constant
    // that only serves as a key, with its hash cached, for every interpreter.
    static PyObject* key = nullptr;
    if (key == nullptr && (key = PyUnicode_FromString(kClassName<T>)) == nullptr) return {};
    Ref cls = Ref::borrow(PyDict_GetItemWithError(PyModule_GetDict(module), key));
    if (!cls && PyErr_Occurred()) return {};
    if (cls && PyType_Check(cls.get()) && is_class(reinterpret_cast<PyTypeObject*>(cls.get())))
      return cls;
    const char* module_name = PyModule_GetName(module);
    if (module_name == nullptr) PyErr_Clear();
    PyErr_Format(PyExc_RuntimeError, "%s.%s is not the class the module defined",
                 module_name != nullptr ? module_name : "module", kClassName<T>);
    return {};
  }
};

/// The module that defined the class of `self`, borrowed; our classes are final, so
/// this is the module of every method and property that `self` is passed to.
inline PyObject* module_of(PyObject* self) { return PyType_GetModule(Py_TYPE(self)); }

inline constexpr unsigned kFinalClassFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
/// For classes whose instances only the module makes.
inline constexpr unsigned kNoConstructorFlags = kFinalClassFlags | Py_TPFLAGS_DISALLOW_INSTANTIATION;

}  // namespace zoret::py
