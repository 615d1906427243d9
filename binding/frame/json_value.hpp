#pragma once

// JSON values <-> Python objects. Python to JSON goes through `json.dumps` and our
// strict parser, so what Python code hands us is read exactly as the `json` module
// writes it; JSON to Python builds new objects at every level.

#include <Python.h>

#include <cstddef>
#include <optional>
#include <string_view>

#include "zoret/json.hpp"

namespace zoret::py {

/// Python object -> JSON value through `json.dumps` and the strict parser. A text
/// that does not parse (NaN, Infinity, too deep) raises ValueError with the
/// parser's message; what `json.dumps` raises passes through unchanged.
bool py_to_json_value(PyObject* obj, Json& out);
/// The same, but a text that does not parse gives JSON null instead of an error.
bool py_to_json_value_or_null(PyObject* obj, Json& out);

/// A bound argument read by `py_to_json_value_or_null` (None leaves it absent). What
/// `json.dumps` raises is the caller's own error and reaches them unchanged, without
/// the parameter note other conversions get.
struct LenientJson {
  std::optional<Json>& out;
};
bool arg(PyObject* obj, const char* name, LenientJson& target);

inline constexpr std::size_t kMaxPyDepth = 128;
/// JSON value -> new Python object; nesting deeper than 128 raises ValueError.
PyObject* json_to_pyobject_depth(const Json& value, std::size_t depth);
/// Whether `json_to_pyobject_depth(value, depth)` can succeed, short of running
/// out of memory: nesting within the limit and every text and key valid UTF-8.
/// Touches no Python object.
[[nodiscard]] bool json_converts(const Json& value, std::size_t depth) noexcept;
/// A copy of a value made by `json_to_pyobject_depth` in which every dict and list
/// is new and everything else (immutable) is shared. Copying a dict copies its key
/// table whole, which is much quicker than building it again.
PyObject* copy_json_pyobject(PyObject* value);
/// JSON object -> new dict (anything else gives an empty dict).
PyObject* json_to_pydict(const Json& value);
/// Compact record text -> dict, with parser failures as ValueError.
PyObject* record_text_to_pydict(std::string_view compact_text);

}  // namespace zoret::py
