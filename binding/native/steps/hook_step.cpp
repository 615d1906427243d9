#include "frame/errors.hpp"
#include "frame/json_value.hpp"
#include "steps/python_call.hpp"
#include "steps/steps.hpp"
#include "types/model.hpp"
#include "types/payload.hpp"

namespace zoret::py {

bool apply_hooks(PyObject* module, SEOPayload& payload, const SEOEntity& entity,
                 PyObject* config_obj) {
  PyObject* hooks = config_hooks(config_obj);
  if (hooks == nullptr) return true;
  // The same dictionary to_dict() gives, made without copying the JSON-LD first.
  Ref dict = Ref::steal(payload_to_pydict(payload));
  if (!dict) return false;
  PythonCopies copies;
  if (!copies.make(module, entity, config_obj)) return false;
  Ref stage = Ref::steal(PyUnicode_FromString("post_process"));
  if (!stage) return false;
  Ref result = Ref::steal(
      call_method(hooks, "run", {stage.get(), dict.get(), copies.entity.get(), copies.config.get()}));
  if (!result) return false;
  PyObject* chosen = dict.get();
  if (result.get() != Py_None) {
    if (!PyDict_Check(result.get())) {
      raise_type_error("post_process hooks must return a dict");
      return false;
    }
    chosen = result.get();
  }
  Json value;
  if (!py_to_json_value(chosen, value)) return false;
  auto rebuilt = SEOPayload::from_dict(value);
  if (!rebuilt) {
    raise_by_kind(rebuilt.error());
    return false;
  }
  payload = *std::move(rebuilt);
  return true;
}

}  // namespace zoret::py
