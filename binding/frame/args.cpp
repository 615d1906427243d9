#include "frame/args.hpp"

#include <string>
#include <vector>

#include "frame/errors.hpp"

namespace zoret::py {

bool CallArgs::next_keyword(Py_ssize_t& cursor, PyObject*& name, PyObject*& value) const noexcept {
  if (kwargs_ != nullptr) return PyDict_Next(kwargs_, &cursor, &name, &value) != 0;
  if (kwnames_ == nullptr || cursor >= PyTuple_Size(kwnames_)) return false;
  name = PyTuple_GetItem(kwnames_, cursor);
  value = vector_[nargs_ + cursor];
  ++cursor;
  return true;
}

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

// The name is formatted by the interpreter, not encoded to UTF-8 first: a name with
// a lone surrogate is still just an unexpected keyword.
bool unexpected_keyword(const Signature& sig, PyObject* key) {
  const std::string name = callable(sig);
  Ref msg = Ref::steal(
      PyUnicode_FromFormat("%s got an unexpected keyword argument '%S'", name.c_str(), key));
  if (msg) PyErr_SetObject(PyExc_TypeError, msg.get());
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
                   std::vector<const char*>& positional_only_hits) {
  const Py_ssize_t index = PyUnicode_Check(key) ? find_param(sig, key) : -1;
  if (index < 0) return unexpected_keyword(sig, key);
  if (index < sig.positional_only) {
    positional_only_hits.push_back(sig.params[index]);
    return true;
  }
  if (out[index] != nullptr) {
    raise_type_error(callable(sig) + " got multiple values for argument '" +
                     sig.params[index] + "'");
    return false;
  }
  out[index] = value;
  return true;
}

bool report_positional_only(const Signature& sig, const std::vector<const char*>& hits) {
  if (hits.empty()) return true;
  std::string msg = callable(sig) + " got some positional-only arguments passed as keyword arguments: ";
  for (std::size_t i = 0; i < hits.size(); ++i) {
    if (i != 0) msg += ", ";
    msg += '\'';
    msg += hits[i];
    msg += '\'';
  }
  raise_type_error(msg);
  return false;
}

}  // namespace

bool bind_args(const Signature& sig, const CallArgs& call, PyObject** out) {
  for (std::size_t i = 0; i < sig.params.size(); ++i) out[i] = nullptr;
  const Py_ssize_t nargs = call.positional_count();
  if (nargs > sig.positional) return too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = call.positional(i);
  std::vector<const char*> positional_only_hits;
  Py_ssize_t cursor = 0;
  PyObject *key = nullptr, *value = nullptr;
  while (call.next_keyword(cursor, key, value)) {
    if (!apply_keyword(sig, key, value, out, positional_only_hits)) return false;
  }
  return report_positional_only(sig, positional_only_hits) && check_required(sig, out);
}

}  // namespace zoret::py
