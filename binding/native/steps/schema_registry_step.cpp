#include <string>

#include "frame/convert.hpp"
#include "frame/json_value.hpp"
#include "steps/python_call.hpp"
#include "steps/steps.hpp"
#include "types/model.hpp"

namespace zoret::py {

bool apply_schema_registry(PyObject* module, SEOPayload& payload, const SEOEntity& entity,
                           PyObject* config_obj) {
  PyObject* registry = config_schema_registry(config_obj);
  if (registry == nullptr || !payload.schema_jsonld || !payload.schema_jsonld->is_object())
    return true;
  const auto type = payload.schema_jsonld->find("@type");
  if (type == payload.schema_jsonld->end() || !type->is_string()) return true;

  Ref schema_type = Ref::steal(to_py(std::string_view(type->get_ref<const std::string&>())));
  if (!schema_type) return false;
  Ref has = Ref::steal(call_method(registry, "has", {schema_type.get()}));
  bool registered = false;
  if (!has || !convert(has.get(), registered)) return false;
  if (!registered) return true;

  PythonCopies copies;
  if (!copies.make(module, entity, config_obj)) return false;
  Ref canonical = Ref::steal(to_py(std::string_view(payload.canonical)));
  Ref title = Ref::steal(to_py(std::string_view(payload.title)));
  Ref description = Ref::steal(to_py(std::string_view(payload.description)));
  Ref image = Ref::steal(to_py(payload.og.image));
  if (!canonical || !title || !description || !image) return false;
  Ref generated = Ref::steal(call_method(
      registry, "generate",
      {schema_type.get(), copies.entity.get(), copies.config.get(), canonical.get(), title.get(),
       description.get(), image.get()}));
  if (!generated) return false;
  if (generated.get() == Py_None) return true;
  Json value;
  if (!py_to_json_value(generated.get(), value)) return false;
  payload.schema_jsonld = std::move(value);
  return true;
}

}  // namespace zoret::py
