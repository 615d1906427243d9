#pragma once

// Pickling and copying of records (`__reduce__`): a record is rebuilt by calling
// its class with the arguments its description gives (repr.hpp), never from its
// memory. The class travels by reference, so a record unpickled in another process,
// or after the module was imported again, has the classes of the module found then.

#include <Python.h>

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/box.hpp"
#include "frame/convert.hpp"
#include "frame/json_value.hpp"
#include "frame/ref.hpp"

namespace zoret::py {

/// Collects a described record's constructor arguments as Python objects: a tuple
/// of the positional ones and a dict of the keyword ones. Nested records become
/// objects of `module`'s classes. The first failure is kept (see `ok`).
class ArgsCollector {
 public:
  explicit ArgsCollector(PyObject* module)
      : module_(module), args_(Ref::steal(PyList_New(0))), kwargs_(Ref::steal(PyDict_New())) {}

  template <class T>
  void positional(const char*, const T& v) {
    if (!ok()) return;
    Ref item = to_value(v);
    if (!item || PyList_Append(args_.get(), item.get()) < 0) fail();
  }
  template <class T>
  void keyword(const char* name, const T& v) {
    if (ok()) set(name, to_value(v));
  }
  template <class T, class D>
  void keyword_unless(const char* name, const T& v, const D& default_value) {
    if (!(v == default_value)) keyword(name, v);
  }
  template <class T>
  void keyword_if_set(const char* name, const T& v) {
    if (v) keyword(name, *v);
  }
  void object(const char* name, PyObject* obj) {
    if (obj != nullptr && ok()) set(name, Ref::borrow(obj));
  }

  [[nodiscard]] bool ok() const { return args_ && kwargs_; }

  /// `(callable, (cls, args, kwargs))`, the value `__reduce__` returns for a
  /// callable that takes a class and its arguments; nullptr with the error set.
  PyObject* reduce_with(PyObject* callable, PyObject* cls);

  /// Python's own constructor call for pickles, `copyreg.__newobj_ex__`: protocol 4
  /// and later store it as the class and its arguments alone.
  PyObject* reduce_to_constructor(PyObject* self);

 private:
  void fail() { args_ = Ref(); }
  void set(const char* name, Ref item) {
    if (!item || PyDict_SetItemString(kwargs_.get(), name, item.get()) < 0) fail();
  }

  Ref to_value(std::string_view v) { return Ref::steal(to_py(v)); }
  Ref to_value(const std::string& v) { return to_value(std::string_view(v)); }
  Ref to_value(bool v) { return Ref::steal(to_py(v)); }
  Ref to_value(std::uint32_t v) { return Ref::steal(to_py(v)); }
  Ref to_value(std::int32_t v) { return Ref::steal(to_py(v)); }
  Ref to_value(std::uint64_t v) { return Ref::steal(to_py(v)); }
  Ref to_value(double v) { return Ref::steal(PyFloat_FromDouble(v)); }
  Ref to_value(const Json& v) { return Ref::steal(json_to_pyobject_depth(v, 0)); }
  template <class T>
  Ref to_value(const std::optional<T>& v) {
    return v ? to_value(*v) : Ref::borrow(Py_None);
  }
  template <class A, class B>
  Ref to_value(const std::pair<A, B>& v) {
    Ref first = to_value(v.first);
    Ref second = to_value(v.second);
    if (!first || !second) return {};
    return Ref::steal(PyTuple_Pack(2, first.get(), second.get()));
  }
  template <class T>
  Ref to_value(const std::vector<T>& items) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    if (!list) return {};
    for (std::size_t i = 0; i < items.size(); ++i) {
      Ref item = to_value(items[i]);
      if (!item) return {};
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item.release());
    }
    return list;
  }
  template <class T>
    requires Boxed<T>
  Ref to_value(const T& record) {
    return Ref::steal(Box<T>::create_in(module_, record));
  }

  PyObject* module_;
  Ref args_;
  Ref kwargs_;
};

/// `__reduce__` of a record with a constructor.
template <class T>
PyObject* reduce_by_constructor(PyObject* self, const T& record) {
  ArgsCollector args(module_of(self));
  describe(args, record);
  return args.reduce_to_constructor(self);
}

}  // namespace zoret::py
