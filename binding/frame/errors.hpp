#pragma once

#include <Python.h>

#include <array>
#include <string_view>

#include "frame/guard.hpp"
#include "frame/ref.hpp"
#include "zoret/error.hpp"

namespace zoret::py {

/// The six exception classes, created once per process and shared by every import.
/// Returns false with a Python exception set when they cannot be made.
bool ensure_exception_classes();
/// Publishes six classes (ZoretError first, then InvalidUrlError, ConfigurationError,
/// EntityError, SchemaError, ContractError) as the process's exception classes, unless
/// a set is already published, in which case `made` is dropped. Creating them is one
/// way to fill this cell; another extension module of the process can hand over the
/// classes it reads from `zoret._zoret_native` instead, so both raise the same ones.
void publish_exception_classes(std::array<Ref, 6> made);
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

}  // namespace zoret::py
