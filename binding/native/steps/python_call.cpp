#include "steps/python_call.hpp"

#include "types/model.hpp"

namespace zoret::py {

PyObject* call_method(PyObject* target, const char* name, std::initializer_list<PyObject*> args) {
  Ref method = Ref::steal(PyObject_GetAttrString(target, name));
  if (!method) return nullptr;
  Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(args.size())));
  if (!tuple) return nullptr;
  Py_ssize_t i = 0;
  for (PyObject* item : args) PyTuple_SetItem(tuple.get(), i++, Ref::borrow(item).release());
  return PyObject_Call(method.get(), tuple.get(), nullptr);
}

bool PythonCopies::make(PyObject* module, const SEOEntity& entity_record, PyObject* config_obj) {
  entity = Ref::steal(Box<SEOEntity>::create_in(module, entity_record));
  if (!entity) return false;
  config = Ref::steal(new_config_object(module, config_record(config_obj), config_hooks(config_obj),
                                        config_schema_registry(config_obj)));
  return static_cast<bool>(config);
}

}  // namespace zoret::py
