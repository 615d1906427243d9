#include "frame/convert.hpp"

#include <climits>

namespace zoret::py {

std::string type_name(PyObject* obj) {
  Ref name = Ref::steal(PyType_GetName(Py_TYPE(obj)));
  if (!name) {
    PyErr_Clear();
    return "object";
  }
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(name.get(), &size);
  if (text == nullptr) {
    PyErr_Clear();
    return "object";
  }
  return std::string(text, static_cast<std::size_t>(size));
}

bool instance_error(PyObject* obj, const char* class_name) {
  if (obj == Py_None) {
    raise_type_error(std::string("'None' is not an instance of '") + class_name + "'");
  } else {
    raise_type_error("'" + type_name(obj) + "' object is not an instance of '" + class_name + "'");
  }
  return false;
}

namespace {
bool cannot_convert(PyObject* obj, const char* target) {
  raise_type_error("'" + type_name(obj) + "' object cannot be converted to '" + target + "'");
  return false;
}

// numpy's boolean scalar is accepted beside `bool`; recognised by name so that
// numpy is never imported here.
bool is_numpy_bool(PyObject* obj) {
  PyTypeObject* tp = Py_TYPE(obj);
  Ref module = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(tp), "__module__"));
  if (!module) {
    PyErr_Clear();
    return false;
  }
  if (!PyUnicode_Check(module.get()) || PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0)
    return false;
  const std::string name = type_name(obj);
  return name == "bool_" || name == "bool";
}

bool out_of_range() {
  PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
  return false;
}

bool to_long_long(PyObject* obj, long long& out) {
  if (!PyLong_Check(obj)) {
    raise_type_error("'" + type_name(obj) + "' object cannot be interpreted as an integer");
    return false;
  }
  int overflow = 0;
  out = PyLong_AsLongLongAndOverflow(obj, &overflow);
  if (overflow != 0) return out_of_range();
  return !(out == -1 && PyErr_Occurred());
}
}  // namespace

bool convert(PyObject* obj, std::string& out) {
  if (!PyUnicode_Check(obj)) return cannot_convert(obj, "str");
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(obj, &size);  // refuses lone surrogates
  if (text == nullptr) return false;
  out.assign(text, static_cast<std::size_t>(size));
  return true;
}

bool convert(PyObject* obj, std::string_view& out) {
  if (!PyUnicode_Check(obj)) return cannot_convert(obj, "str");
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(obj, &size);
  if (text == nullptr) return false;
  out = std::string_view(text, static_cast<std::size_t>(size));
  return true;
}

bool convert(PyObject* obj, bool& out) {
  if (PyBool_Check(obj)) {
    out = obj == Py_True;
    return true;
  }
  if (is_numpy_bool(obj)) {
    const int truth = PyObject_IsTrue(obj);
    if (truth < 0) return false;
    out = truth == 1;
    return true;
  }
  return cannot_convert(obj, "bool");
}

bool convert(PyObject* obj, std::uint32_t& out) {
  long long value = 0;
  if (!to_long_long(obj, value)) return false;
  if (value < 0 || value > static_cast<long long>(UINT32_MAX)) return out_of_range();
  out = static_cast<std::uint32_t>(value);
  return true;
}

bool convert(PyObject* obj, std::int32_t& out) {
  long long value = 0;
  if (!to_long_long(obj, value)) return false;
  if (value < INT32_MIN || value > INT32_MAX) return out_of_range();
  out = static_cast<std::int32_t>(value);
  return true;
}

bool convert(PyObject* obj, std::uint64_t& out) {
  if (!PyLong_Check(obj)) {
    raise_type_error("'" + type_name(obj) + "' object cannot be interpreted as an integer");
    return false;
  }
  const unsigned long long value = PyLong_AsUnsignedLongLong(obj);
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    // Both negative and too-large values arrive here as OverflowError already.
    return false;
  }
  out = value;
  return true;
}

bool check_sequence(PyObject* obj, Py_ssize_t& size) {
  if (PyUnicode_Check(obj)) {
    raise_type_error("Can't extract `str` to `Vec`");
    return false;
  }
  if (!PySequence_Check(obj)) return cannot_convert(obj, "Sequence");
  size = PySequence_Size(obj);
  return size >= 0;
}

PyObject* to_py(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* to_py(std::uint32_t value) { return PyLong_FromUnsignedLong(value); }
PyObject* to_py(std::int32_t value) { return PyLong_FromLong(value); }
PyObject* to_py(std::uint64_t value) { return PyLong_FromUnsignedLongLong(value); }

PyObject* to_py(bool value) { return PyBool_FromLong(value ? 1 : 0); }

PyObject* to_py(const std::vector<std::string>& items) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = to_py(std::string_view(items[i]));
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

}  // namespace zoret::py
