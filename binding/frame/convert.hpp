#pragma once

#include <Python.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/box.hpp"
#include "frame/errors.hpp"
#include "frame/ref.hpp"

namespace zoret::py {

/// Type name of `obj` for messages ("NoneType", "dict").
std::string type_name(PyObject* obj);

// Conversions from Python. Each returns false with a Python exception set; none
// attaches the parameter note (see `arg`).
bool convert(PyObject* obj, std::string& out);
/// A view into the str's cached UTF-8; valid while `obj` lives.
bool convert(PyObject* obj, std::string_view& out);
bool convert(PyObject* obj, bool& out);
bool convert(PyObject* obj, std::uint32_t& out);
bool convert(PyObject* obj, std::int32_t& out);
bool convert(PyObject* obj, std::uint64_t& out);
/// Any object, borrowed as it is (hooks, registries, defaults).
inline bool convert(PyObject* obj, PyObject*& out) {
  out = obj;
  return true;
}

bool instance_error(PyObject* obj, const char* class_name);

// The container conversions call `convert` on their items; declaring them all up
// front lets them nest in any order (an optional list of pairs), which lookup at
// instantiation would not find for items of std or core types.
template <class T>
bool convert(PyObject* obj, std::optional<T>& out);
template <class T>
bool convert(PyObject* obj, std::vector<T>& out);
template <class A, class B>
bool convert(PyObject* obj, std::pair<A, B>& out);
template <Boxed T>
bool convert(PyObject* obj, const T*& out);

/// A boxed record argument is copied out of its Python object.
template <Boxed T>
bool convert(PyObject* obj, T& out) {
  if (!Box<T>::is_instance(obj)) return instance_error(obj, kClassName<T>);
  out = Box<T>::of(obj);
  return true;
}

template <class T>
bool convert(PyObject* obj, std::optional<T>& out) {
  if (obj == Py_None) {
    out.reset();
    return true;
  }
  T value{};
  if (!convert(obj, value)) return false;
  out = std::move(value);
  return true;
}

/// Refuses `str` (which would otherwise split into characters) and non-sequences.
bool check_sequence(PyObject* obj, Py_ssize_t& size);

/// Items reserved up front at most: a sequence's `__len__` may claim far more items
/// than it yields, and the vector grows as they arrive anyway.
inline constexpr Py_ssize_t kMaxReservedItems = 1024;

template <class T>
bool convert(PyObject* obj, std::vector<T>& out) {
  Py_ssize_t size = 0;
  if (!check_sequence(obj, size)) return false;
  std::vector<T> items;
  items.reserve(static_cast<std::size_t>(std::min(size, kMaxReservedItems)));
  for (Py_ssize_t i = 0; i < size; ++i) {
    Ref item = Ref::steal(PySequence_GetItem(obj, i));
    if (!item) return false;
    T value{};
    if (!convert(item.get(), value)) return false;
    items.push_back(std::move(value));
  }
  out = std::move(items);
  return true;
}

/// A two-item tuple.
template <class A, class B>
bool convert(PyObject* obj, std::pair<A, B>& out) {
  if (!PyTuple_Check(obj)) {
    raise_type_error("'" + type_name(obj) + "' object cannot be converted to 'tuple'");
    return false;
  }
  const Py_ssize_t size = PyTuple_Size(obj);
  if (size != 2) {
    raise_type_error("expected tuple of length 2, but got tuple of length " + std::to_string(size));
    return false;
  }
  return convert(PyTuple_GetItem(obj, 0), out.first) && convert(PyTuple_GetItem(obj, 1), out.second);
}

/// Borrows the record held by a class-typed argument without copying it; valid
/// while `obj` lives.
template <Boxed T>
bool convert(PyObject* obj, const T*& out) {
  if (!Box<T>::is_instance(obj)) return instance_error(obj, kClassName<T>);
  out = &Box<T>::of(obj);
  return true;
}

/// Converts one bound argument: absent leaves `out` at its default; a failure gets
/// the note "while processing '<name>'".
template <class T>
bool arg(PyObject* obj, const char* name, T& out) {
  if (obj == nullptr || convert(obj, out)) return true;
  add_processing_note(name);
  return false;
}

// Conversions to Python.
PyObject* to_py(std::string_view text);
PyObject* to_py(const char*) = delete;  // would pick the bool overload
PyObject* to_py(bool value);
PyObject* to_py(std::uint32_t value);
PyObject* to_py(std::int32_t value);
PyObject* to_py(std::uint64_t value);
PyObject* to_py(const std::vector<std::string>& items);
/// A new reference to an object made already.
inline PyObject* to_py(const Ref& object) { return Ref::borrow(object.get()).release(); }
template <class T>
PyObject* to_py(const std::optional<T>& value) {
  if (!value) Py_RETURN_NONE;
  return to_py(*value);
}

}  // namespace zoret::py

namespace zoret::py {

template <class M>
struct member_traits;
template <class C, class V>
struct member_traits<V C::*> {
  using owner = C;
};

/// A read-only property returning a converted copy of one record field.
template <auto Member>
PyObject* member_getter(PyObject* self, void*) {
  using Owner = typename member_traits<decltype(Member)>::owner;
  return guard([&] { return to_py(Box<Owner>::of(self).*Member); });
}

template <auto Member>
constexpr PyGetSetDef property(const char* name, const char* doc) {
  return PyGetSetDef{name, &member_getter<Member>, nullptr, doc, nullptr};
}

}  // namespace zoret::py
