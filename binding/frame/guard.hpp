#pragma once

#include <Python.h>

#include <exception>
#include <new>
#include <utility>

namespace zoret::py {

/// Runs `body` so that no C++ exception reaches CPython: allocation failure becomes
/// MemoryError, anything else SystemError.
template <class R, class F>
R guard(R on_error, F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_SystemError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "unexpected C++ exception in zoret");
  }
  return on_error;
}

template <class F>
PyObject* guard(F&& body) noexcept {
  return guard<PyObject*>(nullptr, std::forward<F>(body));
}

}  // namespace zoret::py
