// normalize_path_fn(path, policy) -> str
// normalize_public_url_fn(url, config) -> str
#include <string_view>

#include "frame/bind.hpp"
#include "functions.hpp"
#include "types/model.hpp"
#include "zoret/url/policy.hpp"
#include "zoret/url/public_url.hpp"

namespace zoret::py {
namespace {

constexpr const char* kPathParams[] = {"path", "policy"};
constexpr Signature kPathSig{"normalize_path_fn", kPathParams, 2, 2};
constexpr const char* kPublicParams[] = {"url", "config"};
constexpr Signature kPublicSig{"normalize_public_url_fn", kPublicParams, 2, 2};

PyObject* normalize_path_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view path;
    const URLPolicyValue* given = nullptr;
    URLPolicy policy;
    if (!bind<kPathSig>(CallArgs(args, nargs, kwnames), path, given) ||
        !to_core_policy(*given, policy))
      return nullptr;
    return to_py(normalize_path(path, policy));
  });
}

PyObject* normalize_public_url_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view url;
    const SEOConfig* config = nullptr;
    if (!bind<kPublicSig>(CallArgs(args, nargs, kwnames), url, config)) return nullptr;
    auto resolved = normalize_public_url(url, *config);
    if (!resolved) return raise_display_as_value_error(resolved.error());
    return to_py(*resolved);
  });
}

}  // namespace

const PyMethodDef kNormalizePathFnDef = fast_def(
    "normalize_path_fn", normalize_path_fn,
    "normalize_path_fn(path, policy)\n--\n\n"
    "Normalizes a route path according to the URL policy.\n\n"
    "Trims white space, ensures a leading '/', collapses repeated slashes and\n"
    "lower-cases when the policy says so, then applies its trailing-slash rule. '?'\n"
    "and '#' are ordinary characters here. Raises TypeError for a path that is not a\n"
    "str or a policy that is not a URLPolicy, and ValueError when the policy's\n"
    "trailing_slash is not 'always', 'never' or 'preserve'.");

const PyMethodDef kNormalizePublicUrlFnDef = fast_def(
    "normalize_public_url_fn", normalize_public_url_fn,
    "normalize_public_url_fn(url, config)\n--\n\n"
    "Resolves a path or URL against the configured public base URL.\n\n"
    "The scheme and host always come from the configuration; the path is placed\n"
    "under the base URL's path and normalized by its URL policy, the query keeps\n"
    "only the parameters the policy allows, and the fragment is dropped. Raises\n"
    "ValueError ('invalid URL: ...') for blank input and ValueError ('invalid\n"
    "configuration: ...') when public_base_url does not parse.");

}  // namespace zoret::py
