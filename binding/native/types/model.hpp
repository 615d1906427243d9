#pragma once

// The input records as Python classes, for the files that take them as arguments
// (the payload builder borrows SEOEntity, SEOConfig and SEOOverrides) or hand new
// ones to Python code (the hook and registry steps).

#include <Python.h>

#include <string>
#include <vector>

#include "frame/box.hpp"
#include "frame/convert.hpp"
#include "frame/ref.hpp"
#include "zoret/config.hpp"
#include "zoret/entity.hpp"
#include "zoret/overrides.hpp"
#include "zoret/url/policy.hpp"

namespace zoret::py {

template <>
inline constexpr const char* kClassName<SEOImage> = "SEOImage";
template <>
inline constexpr const char* kClassName<Robots> = "Robots";
template <>
inline constexpr const char* kClassName<Breadcrumb> = "Breadcrumb";
template <>
inline constexpr const char* kClassName<FAQItem> = "FAQItem";
template <>
inline constexpr const char* kClassName<SEOEntity> = "SEOEntity";
template <>
inline constexpr const char* kClassName<SEOOverrides> = "SEOOverrides";

/// What a Python URLPolicy holds: the core policy's fields, with `trailing_slash`
/// kept as the caller's text. The text is checked only when the policy is used, so
/// a policy with a bad value can still be made and read back.
struct URLPolicyValue {
  bool enforce_https = true;
  bool lowercase_paths = false;
  std::string trailing_slash = "never";
  bool collapse_duplicate_slashes = true;
  bool strip_tracking_params = true;
  std::vector<std::string> allowed_query_params;
  std::vector<std::string> extra_tracking_params;

  friend bool operator==(const URLPolicyValue&, const URLPolicyValue&) = default;
};
template <>
inline constexpr const char* kClassName<URLPolicyValue> = "URLPolicy";

/// The core policy for `value`; false with ValueError "invalid trailing_slash: <text>"
/// when the text is none of "always", "never", "preserve".
bool to_core_policy(const URLPolicyValue& value, URLPolicy& out);

// Also releases the two Python references of a ConfigObject (below). Declared here
// so that every file naming Box<SEOConfig> sees it: include this header, not box.hpp.
template <>
inline void Box<SEOConfig>::dealloc(PyObject* self);

/// The Python SEOConfig: the core record (readable as `Box<SEOConfig>`, so `convert`,
/// `arg` and `bind` work on it) plus the two opaque Python objects of the hook and
/// registry steps. The only class of the module that holds Python references, hence
/// the only one under the garbage collector.
struct ConfigObject : Box<SEOConfig> {
  PyObject* hooks;            // strong reference, or nullptr for None
  PyObject* schema_registry;  // strong reference, or nullptr for None
  // Shared borrows held by builds running on this object; while any is held the
  // two references above cannot be reassigned.
  int borrow_count;
};

// Inline so that the site module, which adopts this class from _zoret_native, links
// without the rest of the configuration's family.
template <>
inline void Box<SEOConfig>::dealloc(PyObject* self) {
  PyTypeObject* tp = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  auto& config = *reinterpret_cast<ConfigObject*>(self);
  Py_CLEAR(config.hooks);
  Py_CLEAR(config.schema_registry);
  config.value.~SEOConfig();
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(tp, Py_tp_free));
  free_fn(self);
  Py_DECREF(tp);
}

template <>
inline constexpr const char* kClassName<SEOConfig> = "SEOConfig";

inline bool is_config(PyObject* obj) { return Box<SEOConfig>::is_instance(obj); }

/// The accessors below require `is_config(obj)`.
inline const SEOConfig& config_record(PyObject* obj) { return Box<SEOConfig>::of(obj); }
/// Borrowed; nullptr when the configuration has none.
inline PyObject* config_hooks(PyObject* obj) { return reinterpret_cast<ConfigObject*>(obj)->hooks; }
inline PyObject* config_schema_registry(PyObject* obj) {
  return reinterpret_cast<ConfigObject*>(obj)->schema_registry;
}

/// A bound SEOConfig argument: the record, and the object holding it for the steps
/// that hand its hooks and registry to Python code.
struct ConfigArg {
  PyObject*& object;
  const SEOConfig*& record;
};
inline bool convert(PyObject* obj, ConfigArg& out) {
  if (!convert(obj, out.record)) return false;
  out.object = obj;
  return true;
}

/// A new SEOConfig of `module` holding a copy of `record` and new references to
/// `hooks` and `schema_registry` (each nullptr for None). This is how Python code
/// called during a build gets its own configuration object.
PyObject* new_config_object(PyObject* module, const SEOConfig& record, PyObject* hooks,
                            PyObject* schema_registry);

/// A shared borrow of a configuration object for the length of a build: assigning
/// `hooks` or `schema_registry` raises RuntimeError while one is held. Keeps the
/// object alive.
class ConfigBorrow {
 public:
  explicit ConfigBorrow(PyObject* config) : config_(Ref::borrow(config)) {
    ++reinterpret_cast<ConfigObject*>(config_.get())->borrow_count;
  }
  ~ConfigBorrow() { --reinterpret_cast<ConfigObject*>(config_.get())->borrow_count; }
  ConfigBorrow(const ConfigBorrow&) = delete;
  ConfigBorrow& operator=(const ConfigBorrow&) = delete;

 private:
  Ref config_;
};

}  // namespace zoret::py
