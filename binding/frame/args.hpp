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
  std::span<const char* const> params = {};
  Py_ssize_t positional = 0;
  Py_ssize_t required_positional = 0;
  Py_ssize_t positional_only = 0;
  Py_ssize_t required_keyword_only = 0;
};

/// The arguments of one call, in either of CPython's two calling conventions.
class CallArgs {
 public:
  /// Vectorcall: positional values, then one value per name in `kwnames` (or none).
  CallArgs(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept
      : vector_(args), nargs_(nargs), kwnames_(kwnames) {}
  /// A tuple and a dict (or nullptr), as type slots such as tp_new receive them.
  CallArgs(PyObject* args, PyObject* kwargs) noexcept
      : tuple_(args), nargs_(args != nullptr ? PyTuple_Size(args) : 0), kwargs_(kwargs) {}

  [[nodiscard]] Py_ssize_t positional_count() const noexcept { return nargs_; }
  /// Borrowed; `i` below `positional_count()`.
  [[nodiscard]] PyObject* positional(Py_ssize_t i) const noexcept {
    return vector_ != nullptr ? vector_[i] : PyTuple_GetItem(tuple_, i);
  }
  /// Steps through the keyword arguments (borrowed name and value), starting from
  /// `cursor` = 0; false after the last.
  bool next_keyword(Py_ssize_t& cursor, PyObject*& name, PyObject*& value) const noexcept;

 private:
  PyObject* const* vector_ = nullptr;
  PyObject* tuple_ = nullptr;
  Py_ssize_t nargs_ = 0;
  PyObject* kwnames_ = nullptr;
  PyObject* kwargs_ = nullptr;
};

/// Matches the arguments of one call against `sig`, writing one borrowed reference
/// (or nullptr when not given) per parameter into `out`. This is the only code that
/// words the missing / unexpected / duplicate / too-many argument errors.
bool bind_args(const Signature& sig, const CallArgs& call, PyObject** out);

inline bool bind_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames, PyObject** out) {
  return bind_args(sig, CallArgs(args, nargs, kwnames), out);
}

}  // namespace zoret::py
