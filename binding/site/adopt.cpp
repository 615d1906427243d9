#include "adopt.hpp"

#include <array>

#include "frame/errors.hpp"
#include "types/contract.hpp"
#include "types/model.hpp"
#include "types/issue.hpp"
#include "types/payload.hpp"

namespace zoret::py {
namespace {

// Reads the class that `native` defines for `T` and accepts its instances.
template <class T>
bool adopt_class(PyObject* native) {
  Ref cls = Ref::steal(PyObject_GetAttrString(native, kClassName<T>));
  if (!cls) return false;
  if (!PyType_Check(cls.get())) {
    PyErr_Format(PyExc_ImportError, "zoret._zoret_native.%s is not a class", kClassName<T>);
    return false;
  }
  Box<T>::adopted_dealloc =
      PyType_GetSlot(reinterpret_cast<PyTypeObject*>(cls.get()), Py_tp_dealloc);
  return true;
}

bool adopt_exceptions(PyObject* native) {
  static constexpr const char* kNames[] = {"ZoretError",         "InvalidUrlError",
                                           "ConfigurationError", "EntityError",
                                           "SchemaError",        "ContractError"};
  std::array<Ref, 6> classes;
  for (std::size_t i = 0; i < classes.size(); ++i) {
    classes[i] = Ref::steal(PyObject_GetAttrString(native, kNames[i]));
    if (!classes[i]) return false;
  }
  publish_exception_classes(std::move(classes));
  return true;
}

}  // namespace

int adopt_native_module() {
  Ref native = Ref::steal(PyImport_ImportModule("zoret._zoret_native"));
  if (!native) return -1;
  const bool ok = adopt_class<SEOConfig>(native.get()) && adopt_class<SEOEntity>(native.get()) &&
                  adopt_class<SEOOverrides>(native.get()) &&
                  adopt_class<SEOPayload>(native.get()) &&
                  adopt_class<SEOContract>(native.get()) &&
                  // Records that pickling rebuilds here, and their parts.
                  adopt_class<OGPayload>(native.get()) &&
                  adopt_class<TwitterPayload>(native.get()) && adopt_class<Issue>(native.get()) &&
                  adopt_class<SEOExpectation>(native.get()) &&
                  adopt_class<ContractRuleArgs>(native.get()) && adopt_exceptions(native.get());
  return ok ? 0 : -1;
}

}  // namespace zoret::py
