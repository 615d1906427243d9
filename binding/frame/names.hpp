#pragma once

// Dictionary keys that our records and JSON-LD use again and again. A dictionary
// built with a new str per key spends much of its time making, hashing and freeing
// those keys; a kept str carries its hash with it.

#include <Python.h>

#include <string_view>

namespace zoret::py {

/// `name` as a new reference to a str: a kept one when `name` is one of the member
/// names of the payload, its records or the JSON-LD we build (or one of the values
/// our schema builders repeat, such as "https://schema.org"), a new one otherwise.
/// str objects are immutable, so sharing them changes nothing but identity.
PyObject* name_to_py(std::string_view name);

}  // namespace zoret::py
