#include "frame/errors.hpp"

#include <string>

namespace zoret::py {
namespace {

constexpr std::array<const char*, 6> kQualifiedNames = {
    "_zoret_native.ZoretError",         "_zoret_native.InvalidUrlError",
    "_zoret_native.ConfigurationError", "_zoret_native.EntityError",
    "_zoret_native.SchemaError",        "_zoret_native.ContractError",
};
enum Slot { kZoret, kInvalidUrl, kConfiguration, kEntity, kSchema, kContract };

// Published once and kept for the life of the process: re-imports of the module
// must raise the same classes that earlier imports handed out.
std::array<PyObject*, 6> g_classes{};

const char* short_name(const char* qualified) {
  std::string_view q(qualified);
  return qualified + q.rfind('.') + 1;
}

// Made through the interpreter's own `type`, as a Python class statement would,
// so the classes behave exactly like ones defined in Python.
Ref make_class(PyObject* type_fn, const char* qualified, PyObject* base) {
  Ref bases = Ref::steal(PyTuple_Pack(1, base));
  Ref ns = Ref::steal(PyDict_New());
  Ref name = Ref::steal(PyUnicode_FromString(short_name(qualified)));
  Ref module = Ref::steal(PyUnicode_FromString("zoret._zoret_native"));
  if (!bases || !ns || !name || !module) return {};
  // Without it `type` takes the module of whatever Python frame is running the
  // import (the import machinery's), and the exceptions could not be pickled, so
  // they would be lost on their way back from worker processes.
  if (PyDict_SetItemString(ns.get(), "__module__", module.get()) < 0) return {};
  Ref cls = Ref::steal(PyObject_CallFunctionObjArgs(type_fn, name.get(), bases.get(),
                                                    ns.get(), nullptr));
  if (!cls) return {};
  if (!PyType_Check(cls.get())) {
    PyErr_SetString(PyExc_TypeError, "type() did not return a class");
    return {};
  }
  return cls;
}

}  // namespace

bool ensure_exception_classes() {
  if (g_classes[kZoret] != nullptr) return true;
  Ref builtins = Ref::steal(PyImport_ImportModule("builtins"));
  if (!builtins) return false;
  Ref value_error = Ref::steal(PyObject_GetAttrString(builtins.get(), "ValueError"));
  Ref type_fn = value_error ? Ref::steal(PyObject_GetAttrString(builtins.get(), "type")) : Ref();
  if (!type_fn) return false;
  std::array<Ref, 6> made;
  made[kZoret] = make_class(type_fn.get(), kQualifiedNames[kZoret], value_error.get());
  if (!made[kZoret]) return false;
  for (std::size_t i = 1; i < made.size(); ++i) {
    made[i] = make_class(type_fn.get(), kQualifiedNames[i], made[kZoret].get());
    if (!made[i]) return false;
  }
  // Calling `type` runs Python code, so another thread may have published first;
  // its classes win and ours are dropped.
  publish_exception_classes(std::move(made));
  return true;
}

void publish_exception_classes(std::array<Ref, 6> made) {
  if (g_classes[kZoret] != nullptr) return;
  for (std::size_t i = 0; i < made.size(); ++i) g_classes[i] = made[i].release();
}

PyObject* exception_class(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::InvalidUrl: return g_classes[kInvalidUrl];
    case ErrorKind::InvalidConfiguration:
    case ErrorKind::UrlPolicy: return g_classes[kConfiguration];
    case ErrorKind::InvalidEntity: return g_classes[kEntity];
    case ErrorKind::InvalidSchema: return g_classes[kSchema];
    case ErrorKind::Contract: return g_classes[kContract];
    case ErrorKind::Serialization: return g_classes[kZoret];
  }
  return g_classes[kZoret];
}

int add_exception_classes(PyObject* module) {
  if (!ensure_exception_classes()) return -1;
  for (std::size_t i = 0; i < g_classes.size(); ++i) {
    if (PyModule_AddObjectRef(module, short_name(kQualifiedNames[i]), g_classes[i]) < 0)
      return -1;
  }
  return 0;
}

namespace {
PyObject* set_error_text(PyObject* cls, std::string_view text) {
  Ref arg = Ref::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  if (arg) PyErr_SetObject(cls, arg.get());
  return nullptr;
}
}  // namespace

PyObject* raise_by_kind(const ZoretError& error) {
  if (!ensure_exception_classes()) {
    PyErr_Clear();
    return set_error_text(PyExc_Exception, error.display());
  }
  return set_error_text(exception_class(error.kind()), error.message());
}

PyObject* raise_display_as_value_error(const ZoretError& error) {
  return set_error_text(PyExc_ValueError, error.display());
}

PyObject* raise_message_as_value_error(std::string_view message) {
  return set_error_text(PyExc_ValueError, message);
}

PyObject* raise_display_as_os_error(const ZoretError& error) {
  const std::string text = error.display();
  Ref arg = Ref::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  Ref exception = arg ? Ref::steal(PyObject_CallFunctionObjArgs(PyExc_OSError, arg.get(), nullptr)) : Ref();
  if (!exception) return nullptr;
  // Set after construction: OSError(errno, text) would print "[Errno N] text", and
  // a filename would do the same, so the text stays as it was and the path (which
  // the caller has) is not attached.
  if (error.os_error() != 0) {
    Ref code = Ref::steal(PyLong_FromLong(error.os_error()));
    if (!code || PyObject_SetAttrString(exception.get(), "errno", code.get()) < 0) return nullptr;
  }
  PyErr_SetObject(PyExc_OSError, exception.get());
  return nullptr;
}

PyObject* raise_type_error(std::string_view message) {
  return set_error_text(PyExc_TypeError, message);
}

void add_processing_note(const char* param_name) {
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr) {
    std::string note = "while processing '";
    note += param_name;
    note += "'";
    Ref result = Ref::steal(PyObject_CallMethod(value, "add_note", "s", note.c_str()));
    // A failing add_note must not replace the real error the caller is reporting.
    if (!result) PyErr_Clear();
  }
  if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
  PyErr_Restore(type, value, traceback);
}

}  // namespace zoret::py
