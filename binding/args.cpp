#include "args.hpp"

#include <string>
#include <vector>

#include "errors.hpp"
#include "ref.hpp"

namespace zoret::py {
namespace {

std::string callable(const Signature& sig) { return std::string(sig.name) + "()"; }

// 'a'; 'a' and 'b'; 'a', 'b', and 'c' -- the interpreter's own wording.
void append_name_list(std::string& msg, const std::vector<const char*>& names) {
  const std::size_t n = names.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i != 0) {
      if (n > 2) msg += ',';
      msg += (i == n - 1) ? " and " : " ";
    }
    msg += '\'';
    msg += names[i];
    msg += '\'';
  }
}

bool missing(const Signature& sig, const std::vector<const char*>& names, const char* kind) {
  std::string msg = callable(sig) + " missing " + std::to_string(names.size()) + " required " +
                    kind + (names.size() == 1 ? " argument: " : " arguments: ");
  append_name_list(msg, names);
  raise_type_error(msg);
  return false;
}

bool too_many_positional(const Signature& sig, Py_ssize_t given) {
  const char* was = given == 1 ? "was" : "were";
  std::string msg = callable(sig);
  if (sig.required_positional != sig.positional) {
    msg += " takes from " + std::to_string(sig.required_positional) + " to " +
           std::to_string(sig.positional) + " positional arguments but ";
  } else {
    msg += " takes " + std::to_string(sig.positional) + " positional arguments but ";
  }
  msg += std::to_string(given) + " " + was + " given";
  raise_type_error(msg);
  return false;
}

// Returns the parameter index of `key`, or -1.
Py_ssize_t find_param(const Signature& sig, PyObject* key) {
  for (std::size_t i = 0; i < sig.params.size(); ++i) {
    if (PyUnicode_CompareWithASCIIString(key, sig.params[i]) == 0) return static_cast<Py_ssize_t>(i);
  }
  return -1;
}

bool check_required(const Signature& sig, PyObject** out) {
  std::vector<const char*> absent;
  for (Py_ssize_t i = 0; i < sig.required_positional; ++i)
    if (out[i] == nullptr) absent.push_back(sig.params[i]);
  if (!absent.empty()) return missing(sig, absent, "positional");
  for (Py_ssize_t i = 0; i < sig.required_keyword_only; ++i)
    if (out[sig.positional + i] == nullptr) absent.push_back(sig.params[sig.positional + i]);
  if (!absent.empty()) return missing(sig, absent, "keyword");
  return true;
}

// Applies one keyword argument; `positional_only_hits` collects misuse to report
// after all keywords were seen, as the interpreter does.
bool apply_keyword(const Signature& sig, PyObject* key, PyObject* value, PyObject** out,
                   std::vector<std::string>& positional_only_hits) {
  const Py_ssize_t index = PyUnicode_Check(key) ? find_param(sig, key) : -1;
  if (index >= 0 && index < sig.positional_only) {
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(key, &size);
    if (text == nullptr) return false;
    positional_only_hits.emplace_back(text, static_cast<std::size_t>(size));
    return true;
  }
  if (index < 0) {
    Ref shown = Ref::steal(PyObject_Str(key));
    if (!shown) return false;
    const char* text = PyUnicode_AsUTF8AndSize(shown.get(), nullptr);
    if (text == nullptr) return false;
    raise_type_error(callable(sig) + " got an unexpected keyword argument '" + text + "'");
    return false;
  }
  if (out[index] != nullptr) {
    raise_type_error(callable(sig) + " got multiple values for argument '" +
                     sig.params[index] + "'");
    return false;
  }
  out[index] = value;
  return true;
}

bool report_positional_only(const Signature& sig, const std::vector<std::string>& hits) {
  if (hits.empty()) return true;
  std::string msg = callable(sig) + " got some positional-only arguments passed as keyword arguments: ";
  for (std::size_t i = 0; i < hits.size(); ++i) {
    if (i != 0) msg += ", ";
    msg += '\'' + hits[i] + '\'';
  }
  raise_type_error(msg);
  return false;
}

}  // namespace

bool bind_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames, PyObject** out) {
  for (std::size_t i = 0; i < sig.params.size(); ++i) out[i] = nullptr;
  if (nargs > sig.positional) return too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
  std::vector<std::string> positional_only_hits;
  if (kwnames != nullptr) {
    const Py_ssize_t nkw = PyTuple_Size(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      if (!apply_keyword(sig, PyTuple_GetItem(kwnames, k), args[nargs + k], out,
                         positional_only_hits))
        return false;
    }
  }
  return report_positional_only(sig, positional_only_hits) && check_required(sig, out);
}

bool bind_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out) {
  for (std::size_t i = 0; i < sig.params.size(); ++i) out[i] = nullptr;
  const Py_ssize_t nargs = args != nullptr ? PyTuple_Size(args) : 0;
  if (nargs > sig.positional) return too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = PyTuple_GetItem(args, i);
  std::vector<std::string> positional_only_hits;
  if (kwargs != nullptr) {
    PyObject *key = nullptr, *value = nullptr;
    Py_ssize_t pos = 0;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (!apply_keyword(sig, key, value, out, positional_only_hits)) return false;
    }
  }
  return report_positional_only(sig, positional_only_hits) && check_required(sig, out);
}

}  // namespace zoret::py
