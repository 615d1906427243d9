// clean_query_fn(query) -> str
// clean_url_fn(url) -> dict[str, str | dict[str, str]]
#include <string_view>

#include "frame/bind.hpp"
#include "frame/dict_builder.hpp"
#include "functions.hpp"
#include "zoret/detrack.hpp"

namespace zoret::py {
namespace {

constexpr const char* kQueryParams[] = {"query"};
constexpr Signature kCleanQuerySig{"clean_query_fn", kQueryParams, 1, 1};
constexpr const char* kUrlParams[] = {"url"};
constexpr Signature kCleanUrlSig{"clean_url_fn", kUrlParams, 1, 1};

PyObject* clean_query_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view query;
    if (!bind<kCleanQuerySig>(CallArgs(args, nargs, kwnames), query)) return nullptr;
    return to_py(clean_query(query));
  });
}

PyObject* clean_url_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view url;
    if (!bind<kCleanUrlSig>(CallArgs(args, nargs, kwnames), url)) return nullptr;
    // The two dicts are filled straight from views into the argument's text.
    const CleanView result = clean_url_view(url);
    Ref removed = Ref::steal(PyDict_New());
    Ref cleaned = Ref::steal(PyDict_New());
    if (!removed || !cleaned) return nullptr;
    for (const CleanParam& param : result.params) {
      Ref key = Ref::steal(to_py(param.key));
      Ref value = key ? Ref::steal(to_py(param.value)) : Ref();
      if (!value ||
          PyDict_SetItem((param.tracking ? removed : cleaned).get(), key.get(), value.get()) < 0) {
        return nullptr;
      }
    }
    return DictBuilder()
        .add("url", result.url)
        .add("removed_params", removed)
        .add("cleaned_params", cleaned)
        .finish();
  });
}

}  // namespace

const PyMethodDef kCleanQueryFnDef = fast_def(
    "clean_query_fn", clean_query_fn,
    "clean_query_fn(query)\n--\n\n"
    "Removes tracking parameters from a query string.\n\n"
    "The query is split at '&'; pairs whose percent-decoded name is a known tracking\n"
    "parameter (compared ignoring ASCII case) are dropped, the rest are kept byte for\n"
    "byte in their order. Raises TypeError when `query` is not a str.");

const PyMethodDef kCleanUrlFnDef = fast_def(
    "clean_url_fn", clean_url_fn,
    "clean_url_fn(url)\n--\n\n"
    "Removes tracking parameters from a URL.\n\n"
    "Returns a dict with 'url' (the URL without tracking parameters, and without '?'\n"
    "when nothing remains), 'removed_params' and 'cleaned_params' (raw name -> raw\n"
    "value, in byte order of the name). Raises TypeError when `url` is not a str.");

}  // namespace zoret::py
