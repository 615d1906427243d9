#include "frame/json_value.hpp"

#include <string>

#include "frame/convert.hpp"
#include "frame/errors.hpp"
#include "frame/names.hpp"
#include "frame/ref.hpp"
#include "zoret/unicode.hpp"

namespace zoret::py {

namespace {
// Returns the text `json.dumps(obj)` produces, with its defaults.
bool dumps(PyObject* obj, std::string_view& text, Ref& holder) {
  Ref json_module = Ref::steal(PyImport_ImportModule("json"));
  if (!json_module) return false;
  Ref dumps_fn = Ref::steal(PyObject_GetAttrString(json_module.get(), "dumps"));
  if (!dumps_fn) return false;
  holder = Ref::steal(PyObject_CallFunctionObjArgs(dumps_fn.get(), obj, nullptr));
  if (!holder) return false;
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(holder.get(), &size);
  if (data == nullptr) return false;
  text = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}
}  // namespace

bool py_to_json_value(PyObject* obj, Json& out) {
  std::string_view text;
  Ref holder;
  if (!dumps(obj, text, holder)) return false;
  auto parsed = parse_json(text);
  if (!parsed) {
    raise_message_as_value_error(parsed.error().message());
    return false;
  }
  out = *std::move(parsed);
  return true;
}

bool py_to_json_value_or_null(PyObject* obj, Json& out) {
  std::string_view text;
  Ref holder;
  if (!dumps(obj, text, holder)) return false;
  auto parsed = parse_json(text);
  out = parsed ? *std::move(parsed) : Json(nullptr);
  return true;
}

namespace {
bool set_entry(PyObject* dict, const std::string& key, const Json& value, std::size_t depth) {
  Ref item = Ref::steal(json_to_pyobject_depth(value, depth));
  if (!item) return false;
  Ref py_key = Ref::steal(name_to_py(key));
  return py_key && PyDict_SetItem(dict, py_key.get(), item.get()) == 0;
}
}  // namespace

PyObject* json_to_pyobject_depth(const Json& value, std::size_t depth) {
  if (depth > kMaxPyDepth) {
    PyErr_SetString(PyExc_ValueError, "JSON structure too deeply nested (max 128 levels)");
    return nullptr;
  }
  switch (value.type()) {
    case Json::value_t::null: Py_RETURN_NONE;
    case Json::value_t::boolean: return to_py(value.get<bool>());
    // Every integer comes back exact: a float for values of 2^63 and above would
    // silently change them.
    case Json::value_t::number_unsigned:
      return PyLong_FromUnsignedLongLong(value.get<std::uint64_t>());
    case Json::value_t::number_integer: return PyLong_FromLongLong(value.get<std::int64_t>());
    case Json::value_t::number_float: return PyFloat_FromDouble(value.get<double>());
    case Json::value_t::string: return name_to_py(value.get_ref<const std::string&>());
    case Json::value_t::array: {
      const auto& array = value.get_ref<const Json::array_t&>();
      Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(array.size())));
      if (!list) return nullptr;
      for (std::size_t i = 0; i < array.size(); ++i) {
        PyObject* item = json_to_pyobject_depth(array[i], depth + 1);
        if (item == nullptr) return nullptr;
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
      }
      return list.release();
    }
    case Json::value_t::object: {
      Ref dict = Ref::steal(PyDict_New());
      if (!dict) return nullptr;
      for (const auto& [key, item] : value.get_ref<const Json::object_t&>()) {
        if (!set_entry(dict.get(), key, item, depth + 1)) return nullptr;
      }
      return dict.release();
    }
    case Json::value_t::binary:
    case Json::value_t::discarded: break;
  }
  Py_RETURN_NONE;
}

bool json_converts(const Json& value, std::size_t depth) noexcept {
  if (depth > kMaxPyDepth) return false;
  switch (value.type()) {
    case Json::value_t::string: return is_valid_utf8(*value.get_ptr<const Json::string_t*>());
    case Json::value_t::array:
      for (const auto& item : *value.get_ptr<const Json::array_t*>()) {
        if (!json_converts(item, depth + 1)) return false;
      }
      return true;
    case Json::value_t::object:
      for (const auto& [key, item] : *value.get_ptr<const Json::object_t*>()) {
        if (!is_valid_utf8(key) || !json_converts(item, depth + 1)) return false;
      }
      return true;
    default: return true;
  }
}

PyObject* copy_json_pyobject(PyObject* value) {
  if (PyDict_CheckExact(value)) {
    Ref copy = Ref::steal(PyDict_Copy(value));
    if (!copy) return nullptr;
    Py_ssize_t pos = 0;
    PyObject* key = nullptr;
    PyObject* item = nullptr;
    while (PyDict_Next(value, &pos, &key, &item)) {
      if (!PyDict_CheckExact(item) && !PyList_CheckExact(item)) continue;
      Ref inner = Ref::steal(copy_json_pyobject(item));
      if (!inner || PyDict_SetItem(copy.get(), key, inner.get()) < 0) return nullptr;
    }
    return copy.release();
  }
  if (PyList_CheckExact(value)) {
    const Py_ssize_t size = PyList_Size(value);
    Ref copy = Ref::steal(PyList_New(size));
    if (!copy) return nullptr;
    for (Py_ssize_t i = 0; i < size; ++i) {
      PyObject* item = PyList_GetItem(value, i);
      PyObject* inner = PyDict_CheckExact(item) || PyList_CheckExact(item)
                            ? copy_json_pyobject(item)
                            : Ref::borrow(item).release();
      if (inner == nullptr) return nullptr;
      PyList_SetItem(copy.get(), i, inner);
    }
    return copy.release();
  }
  return Ref::borrow(value).release();
}

PyObject* json_to_pydict(const Json& value) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict || !value.is_object()) return dict.release();
  for (const auto& [key, item] : value.get_ref<const Json::object_t&>()) {
    if (!set_entry(dict.get(), key, item, 0)) return nullptr;
  }
  return dict.release();
}

PyObject* record_text_to_pydict(std::string_view compact_text) {
  auto parsed = parse_json(compact_text);
  if (!parsed) return raise_message_as_value_error(parsed.error().message());
  return json_to_pydict(*parsed);
}

bool arg(PyObject* obj, const char*, LenientJson& target) {
  if (obj == nullptr || obj == Py_None) return true;
  Json value;
  if (!py_to_json_value_or_null(obj, value)) return false;
  target.out = std::move(value);
  return true;
}

}  // namespace zoret::py
