// clean_query_fn(query) -> str
// clean_url_fn(url) -> dict[str, str | dict[str, str]]
#include <map>
#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "zoret/detrack.hpp"

namespace zoret::py {
namespace {

constexpr const char* kQueryParams[] = {"query"};
constexpr Signature kCleanQuerySig{"clean_query_fn", kQueryParams, 1, 1};
constexpr const char* kUrlParams[] = {"url"};
constexpr Signature kCleanUrlSig{"clean_url_fn", kUrlParams, 1, 1};

PyObject* map_to_pydict(const std::map<std::string, std::string>& map) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [key, value] : map) {
    Ref k = Ref::steal(to_py(std::string_view(key)));
    Ref v = Ref::steal(to_py(std::string_view(value)));
    if (!k || !v || PyDict_SetItem(dict.get(), k.get(), v.get()) < 0) return nullptr;
  }
  return dict.release();
}

PyObject* clean_query_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* bound[1];
    std::string_view query;
    if (!bind_args(kCleanQuerySig, args, nargs, kwnames, bound) || !arg(bound[0], "query", query))
      return nullptr;
    return to_py(clean_query(query));
  });
}

PyObject* clean_url_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* bound[1];
    std::string_view url;
    if (!bind_args(kCleanUrlSig, args, nargs, kwnames, bound) || !arg(bound[0], "url", url))
      return nullptr;
    const CleanResult result = clean_url(url);
    Ref dict = Ref::steal(PyDict_New());
    Ref cleaned_url = Ref::steal(to_py(std::string_view(result.url)));
    Ref removed = Ref::steal(map_to_pydict(result.removed_params));
    Ref cleaned = Ref::steal(map_to_pydict(result.cleaned_params));
    if (!dict || !cleaned_url || !removed || !cleaned ||
        PyDict_SetItemString(dict.get(), "url", cleaned_url.get()) < 0 ||
        PyDict_SetItemString(dict.get(), "removed_params", removed.get()) < 0 ||
        PyDict_SetItemString(dict.get(), "cleaned_params", cleaned.get()) < 0)
      return nullptr;
    return dict.release();
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
