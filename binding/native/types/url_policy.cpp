// URLPolicy(*, enforce_https=True, lowercase_paths=False, trailing_slash="never",
//           collapse_duplicate_slashes=True, strip_tracking_params=True,
//           allowed_query_params=None, extra_tracking_params=None)
//   .enforce_https, .lowercase_paths, .collapse_duplicate_slashes,
//   .strip_tracking_params -> bool
//   .trailing_slash -> str (as given)
//   .allowed_query_params, .extra_tracking_params -> list[str] (new lists)
//   repr(), pickling and copying through the constructor, == and hash() by value
#include <string>

#include "classes.hpp"
#include "frame/bind.hpp"
#include "types/describe.hpp"
#include "types/model.hpp"
#include "types/record_slots.hpp"

namespace zoret::py {

bool to_core_policy(const URLPolicyValue& value, URLPolicy& out) {
  const auto trailing_slash = trailing_slash_from_str(value.trailing_slash);
  if (!trailing_slash) {
    raise_message_as_value_error("invalid trailing_slash: " + value.trailing_slash);
    return false;
  }
  out.enforce_https = value.enforce_https;
  out.lowercase_paths = value.lowercase_paths;
  out.trailing_slash = *trailing_slash;
  out.collapse_duplicate_slashes = value.collapse_duplicate_slashes;
  out.strip_tracking_params = value.strip_tracking_params;
  out.allowed_query_params = value.allowed_query_params;
  out.extra_tracking_params = value.extra_tracking_params;
  return true;
}

namespace {
const char* trailing_slash_text(TrailingSlash value) {
  switch (value) {
    case TrailingSlash::Always: return "always";
    case TrailingSlash::Never: return "never";
    case TrailingSlash::Preserve: return "preserve";
  }
  return "never";
}
}  // namespace

URLPolicyValue policy_value(const URLPolicy& policy) {
  return URLPolicyValue{policy.enforce_https,
                        policy.lowercase_paths,
                        trailing_slash_text(policy.trailing_slash),
                        policy.collapse_duplicate_slashes,
                        policy.strip_tracking_params,
                        policy.allowed_query_params,
                        policy.extra_tracking_params};
}

namespace {

constexpr const char* kParams[] = {"enforce_https",
                                   "lowercase_paths",
                                   "trailing_slash",
                                   "collapse_duplicate_slashes",
                                   "strip_tracking_params",
                                   "allowed_query_params",
                                   "extra_tracking_params"};
constexpr Signature kSig{"URLPolicy.__new__", kParams, 0, 0};

PyObject* policy_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    URLPolicyValue p;
    std::optional<std::vector<std::string>> allowed;
    std::optional<std::vector<std::string>> extra;
    if (!bind<kSig>(CallArgs(args, kwargs), p.enforce_https, p.lowercase_paths, p.trailing_slash,
                    p.collapse_duplicate_slashes, p.strip_tracking_params, allowed, extra))
      return nullptr;
    if (allowed) p.allowed_query_params = *std::move(allowed);
    if (extra) p.extra_tracking_params = *std::move(extra);
    return Box<URLPolicyValue>::create(type, std::move(p));
  });
}

PyGetSetDef kProperties[] = {
    property<&URLPolicyValue::enforce_https>("enforce_https",
                                             "Whether public URLs always use https."),
    property<&URLPolicyValue::lowercase_paths>("lowercase_paths",
                                               "Whether paths are lower-cased."),
    property<&URLPolicyValue::trailing_slash>(
        "trailing_slash", "The trailing-slash rule as given: 'always', 'never' or 'preserve'."),
    property<&URLPolicyValue::collapse_duplicate_slashes>(
        "collapse_duplicate_slashes", "Whether runs of '/' become a single '/'."),
    property<&URLPolicyValue::strip_tracking_params>(
        "strip_tracking_params", "Whether tracking parameters are removed from queries."),
    property<&URLPolicyValue::allowed_query_params>(
        "allowed_query_params", "A new list of the only query parameters kept (empty: no limit)."),
    property<&URLPolicyValue::extra_tracking_params>(
        "extra_tracking_params", "A new list of names treated as tracking parameters too."),
    {},
};

PyMethodDef kMethods[] = {
    reduce_def<"URLPolicy.__reduce__", reduce_record<URLPolicyValue>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "URLPolicy(*, enforce_https=True, lowercase_paths=False, trailing_slash='never', "
         "collapse_duplicate_slashes=True, strip_tracking_params=True, "
         "allowed_query_params=None, extra_tracking_params=None)\n--\n\n"
         "Controls how canonical URLs are normalized.\n\n"
         "The flags must be bool (an int is refused with TypeError); the two lists are\n"
         "sequences of str (None means empty). trailing_slash is stored as given and\n"
         "checked when the policy is used: anything but 'always', 'never' or\n"
         "'preserve' then raises ValueError.")},
    {Py_tp_new, reinterpret_cast<void*>(&policy_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<URLPolicyValue>::dealloc)},
    {Py_tp_getset, kProperties},
    {Py_tp_methods, kMethods},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<URLPolicyValue>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<URLPolicyValue>)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash<URLPolicyValue>)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.URLPolicy", sizeof(Box<URLPolicyValue>), 0,
                     kFinalClassFlags, kSlots};

}  // namespace

PyType_Spec* url_policy_spec() { return &kSpec; }

}  // namespace zoret::py
