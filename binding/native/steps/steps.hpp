#pragma once

// The three Python-side steps that run, in this order, on a freshly built payload:
// the configuration's schema registry, its hooks, and the warnings of validation.
// Each returns false with the Python error set, and the build then ends with it.

#include <Python.h>

#include "zoret/config.hpp"
#include "zoret/entity.hpp"
#include "zoret/payload.hpp"

namespace zoret::py {

/// A generator registered for the JSON-LD's "@type" replaces the whole JSON-LD.
/// `module` makes the copies handed to the registry; `config_obj` is an SEOConfig.
bool apply_schema_registry(PyObject* module, SEOPayload& payload, const SEOEntity& entity,
                           PyObject* config_obj);

/// The hooks see the payload as a dictionary; what they leave is read back whole.
bool apply_hooks(PyObject* module, SEOPayload& payload, const SEOEntity& entity,
                 PyObject* config_obj);

/// One `warnings.warn` per validation finding when the configuration asks for them.
bool emit_warnings(const SEOPayload& payload, const SEOConfig& config);

}  // namespace zoret::py
