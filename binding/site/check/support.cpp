// Helpers the classes of the check family share: severities, the native module,
// and the repr / pickle forms of records that are rebuilt by calling their class.
#include <string>

#include "check/check_classes.hpp"
#include "frame/convert.hpp"
#include "frame/errors.hpp"

namespace zoret::py {

PyObject* severity_to_py(ContractSeverity severity) { return to_py(severity_label(severity)); }

bool convert(PyObject* obj, SeverityArg& severity) {
  std::string_view text;
  if (!convert(obj, text)) return false;
  for (ContractSeverity s :
       {ContractSeverity::Error, ContractSeverity::Warning, ContractSeverity::Info}) {
    if (text == severity_label(s)) {
      severity.out = s;
      return true;
    }
  }
  raise_message_as_value_error("severity must be 'error', 'warning' or 'info', got '" +
                               std::string(text) + "'");
  return false;
}

PyObject* native_module() { return PyImport_ImportModule("zoret._zoret_native"); }

PyObject* keyword_repr(const char* class_name, PyObject* kwargs) {
  Ref parts = Ref::steal(PyList_New(0));
  if (!parts) return nullptr;
  Py_ssize_t cursor = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(kwargs, &cursor, &key, &value)) {
    Ref part = Ref::steal(PyUnicode_FromFormat("%U=%R", key, value));
    if (!part || PyList_Append(parts.get(), part.get()) < 0) return nullptr;
  }
  Ref separator = Ref::steal(PyUnicode_FromString(", "));
  Ref joined = separator ? Ref::steal(PyUnicode_Join(separator.get(), parts.get())) : Ref();
  return joined ? PyUnicode_FromFormat("%s(%U)", class_name, joined.get()) : nullptr;
}

PyObject* non_none_kwargs(std::span<const char* const> names, PyObject* values) {
  Ref kwargs = Ref::steal(PyDict_New());
  if (!kwargs) return nullptr;
  for (std::size_t i = 0; i < names.size(); ++i) {
    PyObject* value = PyTuple_GetItem(values, static_cast<Py_ssize_t>(i));
    if (value == nullptr) return nullptr;
    if (value != Py_None && PyDict_SetItemString(kwargs.get(), names[i], value) < 0) return nullptr;
  }
  return kwargs.release();
}

PyObject* reduce_to_call(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* cls = reinterpret_cast<PyObject*>(Py_TYPE(self));
  if (kwargs == nullptr || PyDict_Size(kwargs) == 0) return PyTuple_Pack(2, cls, args);
  // copyreg.__newobj_ex__(cls, args, kwargs) calls cls.__new__(cls, *args, **kwargs);
  // pickle writes it as its own opcode from protocol 4 on, as a call before that.
  Ref copyreg = Ref::steal(PyImport_ImportModule("copyreg"));
  Ref newobj = copyreg ? Ref::steal(PyObject_GetAttrString(copyreg.get(), "__newobj_ex__")) : Ref();
  if (!newobj) return nullptr;
  Ref call_args = Ref::steal(PyTuple_Pack(3, cls, args, kwargs));
  return call_args ? PyTuple_Pack(2, newobj.get(), call_args.get()) : nullptr;
}

}  // namespace zoret::py
