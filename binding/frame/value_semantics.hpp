#pragma once

// Value equality and hashing for immutable records: two objects holding equal
// records compare equal and hash alike, whichever import of the module made them.
// The hash mixes every field of the record's description (repr.hpp), so it agrees
// with the record's `operator==` as long as the description covers every field,
// which pickling relies on too.

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "frame/box.hpp"
#include "frame/convert.hpp"

namespace zoret::py {

class FieldHasher {
 public:
  template <class T>
  void positional(const char*, const T& v) {
    mix(v);
  }
  template <class T>
  void keyword(const char*, const T& v) {
    mix(v);
  }
  template <class T, class D>
  void keyword_unless(const char*, const T& v, const D&) {
    mix(v);
  }
  template <class T>
  void keyword_if_set(const char*, const T& v) {
    mix(v);
  }

  [[nodiscard]] std::size_t value() const { return hash_; }

 private:
  void combine(std::size_t h) { hash_ ^= h + 0x9e3779b97f4a7c15ULL + (hash_ << 6) + (hash_ >> 2); }
  void mix(std::string_view v) { combine(std::hash<std::string_view>{}(v)); }
  void mix(bool v) { combine(v ? 1 : 2); }
  void mix(std::uint32_t v) { combine(v); }
  void mix(std::int32_t v) { combine(static_cast<std::size_t>(v)); }
  void mix(std::uint64_t v) { combine(v); }
  template <class T>
  void mix(const std::optional<T>& v) {
    combine(v ? 3 : 4);
    if (v) mix(*v);
  }
  template <class T>
  void mix(const std::vector<T>& items) {
    combine(items.size());
    for (const T& item : items) mix(item);
  }
  template <class T>
    requires Boxed<T>
  void mix(const T& record) {
    describe(*this, record);
  }

  std::size_t hash_ = 0;
};

template <class T>
Py_hash_t hash_record(PyObject* self) {
  FieldHasher hasher;
  describe(hasher, Box<T>::of(self));
  const auto hash = static_cast<Py_hash_t>(hasher.value());
  return hash == -1 ? -2 : hash;  // -1 tells CPython that hashing failed
}

/// `==` and `!=` between records of the same kind; anything else is left to the
/// other operand (NotImplemented), as for Python's own value types.
template <class T>
PyObject* compare_records(PyObject* self, PyObject* other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !Box<T>::is_instance(other)) Py_RETURN_NOTIMPLEMENTED;
  const bool equal = Box<T>::of(self) == Box<T>::of(other);
  return to_py(equal == (op == Py_EQ));
}

}  // namespace zoret::py
