#pragma once

#include <Python.h>

#include <optional>

#include "frame/convert.hpp"
#include "frame/names.hpp"
#include "frame/ref.hpp"

namespace zoret::py {

/// Builds a dict in the order its entries are added, each value converted by
/// `to_py`. The first failure is kept and makes `finish` return nullptr with it set.
class DictBuilder {
 public:
  DictBuilder() : dict_(Ref::steal(PyDict_New())) {}

  template <class V>
  DictBuilder& add(const char* key, const V& value) {
    if (!dict_) return *this;
    Ref item = Ref::steal(to_py(value));
    Ref name = item ? Ref::steal(name_to_py(key)) : Ref();
    if (!name || PyDict_SetItem(dict_.get(), name.get(), item.get()) < 0) dict_ = Ref();
    return *this;
  }

  /// Adds `key` only when `value` is present.
  template <class V>
  DictBuilder& add_present(const char* key, const std::optional<V>& value) {
    return value ? add(key, *value) : *this;
  }

  [[nodiscard]] PyObject* finish() { return dict_.release(); }

 private:
  Ref dict_;
};

}  // namespace zoret::py
