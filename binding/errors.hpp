#pragma once

#include <Python.h>

#include <exception>
#include <new>
#include <string_view>

#include "zoret/error.hpp"

namespace zoret::py {

/// The six exception classes, created once per process and shared by every import.
/// Returns false with a Python exception set when they cannot be made.
bool ensure_exception_classes();
/// Borrowed references; valid after `ensure_exception_classes()` succeeded.
PyObject* exception_class(ErrorKind kind);
/// Adds the six classes to `module` in their fixed order.
int add_exception_classes(PyObject* module);

// The four ways a core error reaches Python. Each sets the Python error and
// returns nullptr so callers can `return raise_...(err);`.
PyObject* raise_by_kind(const ZoretError& error);
PyObject* raise_display_as_value_error(const ZoretError& error);
PyObject* raise_message_as_value_error(std::string_view message);
/// OSError with the display text, and `errno` set when the failure came from
/// the operating system.
PyObject* raise_display_as_os_error(const ZoretError& error);

/// Sets TypeError with `message`; returns nullptr.
PyObject* raise_type_error(std::string_view message);

/// Attaches "while processing '<name>'" to the pending exception.
void add_processing_note(const char* param_name);

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
