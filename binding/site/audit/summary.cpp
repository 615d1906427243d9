// PageSummary(route, url=None, status=None, redirect_url=None, final_url=None,
//             canonical=None, noindex=False, title=None, description=None,
//             hreflang=None, in_sitemap=None)
//   a property per argument (hreflang -> list[tuple[str, str]] | None)
//   .redirected .has_own_head -> bool
//   ==, hash(), repr() (the arguments that differ from their defaults), pickled as a
//   call with positional arguments (the smallest pickle, for process pools and Dask)
// page_summary(facts) -> PageSummary
#include <utility>

#include "audit/audit_classes.hpp"
#include "check/check_classes.hpp"
#include "frame/bind.hpp"

namespace zoret::py {
namespace {

// The conversions below add to the frame's, which they would otherwise hide.
using py::convert;

const PageSummary& summary_of(PyObject* self) { return Box<PageSummary>::of(self); }

struct StatusArg {
  std::optional<std::uint16_t>& out;
};

bool convert(PyObject* obj, StatusArg& status) {
  if (obj == Py_None) return true;
  std::uint32_t code = 0;
  if (!convert(obj, code)) return false;
  if (code < 100 || code > 599) {
    raise_message_as_value_error("an HTTP status is from 100 to 599, got " + std::to_string(code));
    return false;
  }
  status.out = static_cast<std::uint16_t>(code);
  return true;
}

struct AlternatesArg {
  std::optional<std::vector<SummaryAlternate>>& out;
};

bool convert(PyObject* obj, AlternatesArg& alternates) {
  if (obj == Py_None) return true;
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!convert(obj, pairs)) return false;
  auto& out = alternates.out.emplace();
  out.reserve(pairs.size());
  for (auto& [language, href] : pairs) out.push_back({std::move(language), std::move(href)});
  return true;
}

constexpr const char* kParams[] = {"route",       "url",       "status",    "redirect_url",
                                   "final_url",   "canonical", "noindex",   "title",
                                   "description", "hreflang",  "in_sitemap"};
constexpr Signature kSig{"PageSummary.__new__", kParams, 11, 1};

PyObject* summary_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    PageSummary s;
    if (!bind<kSig>(CallArgs(args, kwargs), s.route, s.url, StatusArg{s.status}, s.redirect_url,
                    s.final_url, s.canonical, s.noindex, s.title, s.description,
                    AlternatesArg{s.hreflang}, s.in_sitemap))
      return nullptr;
    return Box<PageSummary>::create(type, std::move(s));
  });
}

PyObject* status_to_py(const PageSummary& s) {
  if (!s.status) Py_RETURN_NONE;
  return to_py(static_cast<std::uint32_t>(*s.status));
}

/// The alternates as a list (the property) or a tuple (hashable, for the arguments).
PyObject* hreflang_to_py(const PageSummary& s, bool as_tuple) {
  if (!s.hreflang) Py_RETURN_NONE;
  Ref items = Ref::steal(as_tuple ? PyTuple_New(static_cast<Py_ssize_t>(s.hreflang->size()))
                                  : PyList_New(static_cast<Py_ssize_t>(s.hreflang->size())));
  if (!items) return nullptr;
  for (std::size_t i = 0; i < s.hreflang->size(); ++i) {
    PyObject* pair = tuple_of((*s.hreflang)[i].language, (*s.hreflang)[i].href);
    if (pair == nullptr) return nullptr;
    const auto at = static_cast<Py_ssize_t>(i);
    if (as_tuple) {
      PyTuple_SetItem(items.get(), at, pair);
    } else {
      PyList_SetItem(items.get(), at, pair);
    }
  }
  return items.release();
}

PyObject* hreflang_list(const PageSummary& s) { return hreflang_to_py(s, false); }
PyObject* redirected_to_py(const PageSummary& s) { return to_py(s.redirected()); }
PyObject* own_head_to_py(const PageSummary& s) { return to_py(s.has_own_head()); }

/// The constructor's arguments, in order.
PyObject* summary_args(const PageSummary& s) {
  Ref items[] = {
      Ref::steal(to_py(s.route)),       Ref::steal(to_py(s.url)),
      Ref::steal(status_to_py(s)),      Ref::steal(to_py(s.redirect_url)),
      Ref::steal(to_py(s.final_url)),   Ref::steal(to_py(s.canonical)),
      Ref::steal(to_py(s.noindex)),     Ref::steal(to_py(s.title)),
      Ref::steal(to_py(s.description)), Ref::steal(hreflang_to_py(s, true)),
      Ref::steal(to_py(s.in_sitemap)),
  };
  static_assert(std::size(items) == std::size(kParams));
  for (const Ref& item : items)
    if (!item) return nullptr;
  Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(std::size(items))));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < std::size(items); ++i)
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), items[i].release());
  return tuple.release();
}

template <PyObject* (*Get)(const PageSummary&)>
PyObject* getter(PyObject* self, void*) {
  return guard([&] { return Get(summary_of(self)); });
}

PyObject* summary_reduce(PyObject* self) {
  Ref args = Ref::steal(summary_args(summary_of(self)));
  return args ? reduce_to_call(self, args.get(), nullptr) : nullptr;
}

PyObject* summary_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    const PageSummary& s = summary_of(self);
    Ref args = Ref::steal(summary_args(s));
    Ref kwargs = args ? Ref::steal(PyDict_New()) : Ref();
    if (!kwargs) return nullptr;
    for (std::size_t i = 0; i < std::size(kParams); ++i) {
      PyObject* value = PyTuple_GetItem(args.get(), static_cast<Py_ssize_t>(i));
      // The route always; noindex when set; the others when not None.
      const bool shown = i == 0 || (i == 6 ? value == Py_True : value != Py_None);
      if (shown && PyDict_SetItemString(kwargs.get(), kParams[i], value) < 0) return nullptr;
    }
    return keyword_repr("PageSummary", kwargs.get());
  });
}

PyObject* summary_richcompare(PyObject* self, PyObject* other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !Box<PageSummary>::is_instance(other))
    Py_RETURN_NOTIMPLEMENTED;
  return to_py((summary_of(self) == summary_of(other)) == (op == Py_EQ));
}

Py_hash_t summary_hash(PyObject* self) {
  return guard<Py_hash_t>(-1, [&]() -> Py_hash_t {
    Ref args = Ref::steal(summary_args(summary_of(self)));
    return args ? PyObject_Hash(args.get()) : -1;
  });
}

PyMethodDef kMethods[] = {
    fast_def("__reduce__", no_args<"PageSummary.__reduce__", summary_reduce>,
             "__reduce__($self, /)\n--\n\nPickles the summary as a call of the class."),
    {},
};

PyGetSetDef kProperties[] = {
    property<&PageSummary::route>("route", "The route of the page."),
    property<&PageSummary::url>("url", "The address the page was read from, or None."),
    {"status", getter<status_to_py>, nullptr, "The HTTP status, or None when not known.", nullptr},
    property<&PageSummary::redirect_url>("redirect_url",
                                         "Where the redirect response sends the client, or None."),
    property<&PageSummary::final_url>(
        "final_url", "Where the head was read after following redirects, or None."),
    property<&PageSummary::canonical>(
        "canonical", "The canonical URL resolved (an absolute URL or a site path), or None."),
    property<&PageSummary::noindex>("noindex", "Whether a robots directive says noindex."),
    property<&PageSummary::title>("title", "The title trimmed, or None when missing or blank."),
    property<&PageSummary::description>(
        "description", "The meta description trimmed, or None when missing or blank."),
    {"hreflang", getter<hreflang_list>, nullptr,
     "(language, resolved href) pairs, or None when not known (a new list).", nullptr},
    property<&PageSummary::in_sitemap>("in_sitemap",
                                       "Whether the sitemap lists the page, or None."),
    {"redirected", getter<redirected_to_py>, nullptr,
     "Whether the page redirected (status 3xx, a redirect URL or a final URL).", nullptr},
    {"has_own_head", getter<own_head_to_py>, nullptr,
     "Whether its head is its own: not redirected, status 2xx or not known.", nullptr},
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "PageSummary(route, url=None, status=None, redirect_url=None, final_url=None, "
                    "canonical=None, noindex=False, title=None, description=None, hreflang=None, "
                    "in_sitemap=None)\n--\n\n"
                    "What the site-wide audit rules need of one page: made by page_summary(facts)\n"
                    "wherever the page is read, gathered, and handed to audit_site().\n\n"
                    "The linked addresses (canonical, hreflang hrefs) are already resolved: an\n"
                    "absolute URL without fragment, or the site path a relative reference names.\n"
                    "Immutable, hashable and small to pickle.")},
    {Py_tp_new, reinterpret_cast<void*>(&summary_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<PageSummary>::dealloc)},
    {Py_tp_methods, kMethods},
    {Py_tp_getset, kProperties},
    {Py_tp_richcompare, reinterpret_cast<void*>(&summary_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(&summary_hash)},
    {Py_tp_repr, reinterpret_cast<void*>(&summary_repr)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_site.PageSummary", sizeof(Box<PageSummary>), 0, kFinalClassFlags,
                     kSlots};

constexpr const char* kSummaryParams[] = {"facts"};
constexpr Signature kSummarySig{"page_summary", kSummaryParams, 1, 1};

PyObject* page_summary_fn(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const PageFacts* facts = nullptr;
    if (!bind<kSummarySig>(CallArgs(args, nargs, kwnames), facts)) return nullptr;
    return Box<PageSummary>::create_in(module, page_summary(*facts));
  });
}

}  // namespace

PyType_Spec* page_summary_spec() { return &kSpec; }

PyMethodDef kPageSummaryDef = fast_def("page_summary", page_summary_fn,
                                       "page_summary(facts)\n--\n\n"
                                       "The summary of a page's facts that audit_site() reads.");

}  // namespace zoret::py
