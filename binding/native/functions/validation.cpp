// validate_payload(payload) -> list[SEOIssue]
#include <vector>

#include "frame/bind.hpp"
#include "functions.hpp"
#include "types/issue.hpp"
#include "types/payload.hpp"
#include "zoret/validation.hpp"

namespace zoret::py {
namespace {

constexpr const char* kParams[] = {"payload"};
constexpr Signature kSig{"validate_payload", kParams, 1, 1};

PyObject* validate_payload_fn(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const SEOPayload* payload = nullptr;
    if (!bind<kSig>(CallArgs(args, nargs, kwnames), payload)) return nullptr;
    const std::vector<SEOIssue> findings = validate(*payload);
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(findings.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < findings.size(); ++i) {
      PyObject* item = Box<Issue>::create_in(module, to_issue(findings[i]));
      if (item == nullptr) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
  });
}

}  // namespace

const PyMethodDef kValidatePayloadDef = fast_def(
    "validate_payload", validate_payload_fn,
    "validate_payload(payload)\n--\n\n"
    "Runs the built-in validation checks against a payload.\n\n"
    "Returns a new list of SEOIssue findings (rules ZORET101 to ZORET108) in rule\n"
    "order; empty when the payload passes. Raises TypeError unless `payload` is an\n"
    "SEOPayload.");

}  // namespace zoret::py
