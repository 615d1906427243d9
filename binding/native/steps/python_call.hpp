#pragma once

#include <Python.h>

#include <initializer_list>

#include "frame/ref.hpp"
#include "zoret/config.hpp"
#include "zoret/entity.hpp"

namespace zoret::py {

/// `target.name(*args)`, all positional; a new reference or nullptr with the error set.
PyObject* call_method(PyObject* target, const char* name, std::initializer_list<PyObject*> args);

/// Fresh copies for Python code, so that nothing it does reaches the caller's objects.
struct PythonCopies {
  Ref entity;
  Ref config;
  /// Copies `entity_record` and the SEOConfig `config_obj` (its hooks and registry
  /// are shared) into new objects of `module`'s classes.
  bool make(PyObject* module, const SEOEntity& entity_record, PyObject* config_obj);
};

}  // namespace zoret::py
