#pragma once

#include <Python.h>

#include <span>

namespace zoret::py {

/// The parameter list of one callable. Parameters are laid out as
/// [positional-only | positional-or-keyword | keyword-only]; the first
/// `required_positional` of the positional ones and the first
/// `required_keyword_only` of the keyword-only ones have no default.
struct Signature {
  /// Shown in messages before "()": "build_seo_payload", "SEOPayload.get",
  /// "SEOImage.__new__".
  const char* name;
  std::span<const char* const> params;
  Py_ssize_t positional;
  Py_ssize_t required_positional;
  Py_ssize_t positional_only = 0;
  Py_ssize_t required_keyword_only = 0;
};

/// Matches a vectorcall-style argument list against `sig`, writing one borrowed
/// reference (or nullptr when not given) per parameter into `out`. This is the only
/// code that words the missing / unexpected / duplicate / too-many argument errors.
bool bind_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames, PyObject** out);

/// The same for tuple + dict calls (type slots such as tp_new).
bool bind_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out);

}  // namespace zoret::py
