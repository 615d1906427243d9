#pragma once

// Binding a call to C++ values: the binder matches the arguments to the parameter
// table, then each argument is converted into its destination, in table order.

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

#include "frame/args.hpp"
#include "frame/convert.hpp"
#include "frame/guard.hpp"
#include "frame/json_value.hpp"

namespace zoret::py {

/// Binds `call` to `Sig` and converts argument i into `out`[i]; absent arguments
/// leave their destination as it is. The names come from the table alone, so each
/// parameter is named once; a conversion failure carries the note "while processing
/// '<name>'" (see `arg`).
template <const Signature& Sig, class... Out>
bool bind(const CallArgs& call, Out&&... out) {
  static_assert(sizeof...(Out) == Sig.params.size(), "one destination per parameter");
  std::array<PyObject*, sizeof...(Out) + 1> bound{};
  if (!bind_args(Sig, call, bound.data())) return false;
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    return (arg(bound[I], Sig.params[I], out) && ...);
  }(std::index_sequence_for<Out...>{});
}

/// A string literal as a template argument.
template <std::size_t N>
struct FixedString {
  constexpr FixedString(const char (&text)[N]) { std::copy_n(text, N, chars); }  // NOLINT: implicit on purpose
  char chars[N];
};

/// Signature of every module function and method: vectorcall arguments.
using FastFunction = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

inline PyMethodDef fast_def(const char* name, FastFunction fn, const char* doc) {
  return PyMethodDef{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn)),
                     METH_FASTCALL | METH_KEYWORDS, doc};
}

/// A method without parameters, named `Name` in messages ("SEOPayload.to_dict"): any
/// argument is refused by the binder in its fixed wording, then `Body(self)` runs.
template <FixedString Name, PyObject* (*Body)(PyObject* self)>
PyObject* no_args(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static constexpr Signature kSig{Name.chars};
  return guard([&]() -> PyObject* {
    if (!bind<kSig>(CallArgs(args, nargs, kwnames))) return nullptr;
    return Body(self);
  });
}

}  // namespace zoret::py
