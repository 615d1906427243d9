// PageFacts(route, *, url=None, status=None, title=None, description=None,
//           canonical=None, robots=(), properties=(), jsonld=(), jsonld_errors=(),
//           hreflang=None, in_sitemap=None, redirect_url=None, final_url=None)
//   a property per argument; robots -> list[str], properties and hreflang ->
//   list[tuple[str, str]], jsonld -> list of Python values, jsonld_errors -> list[str]
//   ==, repr() (arguments that differ from their defaults), pickled as a call
// facts_from_payload(payload, route) -> PageFacts
#include <utility>

#include "check/check_classes.hpp"
#include "frame/bind.hpp"
#include "frame/json_value.hpp"
#include "types/payload.hpp"
#include "zoret/check/route_pattern.hpp"

namespace zoret::py {
namespace {

// The conversions below add to the frame's, which they would otherwise hide.
using py::convert;

// --- arguments ---------------------------------------------------------------------

struct Status {
  std::optional<std::uint16_t>& out;
};

bool convert(PyObject* obj, Status& status) {
  std::uint32_t code = 0;
  if (!convert(obj, code)) return false;
  if (code < 100 || code > 599) {
    raise_message_as_value_error("an HTTP status is from 100 to 599, got " + std::to_string(code));
    return false;
  }
  status.out = static_cast<std::uint16_t>(code);
  return true;
}

bool arg(PyObject* obj, const char* name, Status status) {
  if (obj == nullptr || obj == Py_None || convert(obj, status)) return true;
  add_processing_note(name);
  return false;
}

/// Robots directives as one comma-separated text or as its pieces.
struct RobotsPieces {
  std::vector<std::string>& out;
};

// None is accepted for every sequence argument: a page without any.
bool convert(PyObject* obj, RobotsPieces& robots) {
  if (obj == Py_None) return true;
  if (PyUnicode_Check(obj)) {
    std::string_view text;
    if (!convert(obj, text)) return false;
    robots.out = split_robots(text);
    return true;
  }
  return convert(obj, robots.out);
}

/// JSON-LD scripts: a str is a script's text, parsed here (a text that does not
/// parse is a fact about the page, kept as its parser message); anything else is a
/// value, read through json.dumps.
struct JsonLd {
  std::vector<Json>& values;
  std::vector<std::string>& errors;
};

bool convert(PyObject* obj, JsonLd& jsonld) {
  if (obj == Py_None) return true;
  Py_ssize_t size = 0;
  if (!check_sequence(obj, size)) return false;
  for (Py_ssize_t i = 0; i < size; ++i) {
    Ref item = Ref::steal(PySequence_GetItem(obj, i));
    if (!item) return false;
    if (PyUnicode_Check(item.get())) {
      std::string_view text;
      if (!convert(item.get(), text)) return false;
      auto parsed = parse_json(text);
      if (parsed) {
        jsonld.values.push_back(*std::move(parsed));
      } else {
        jsonld.errors.push_back(parsed.error().message());
      }
    } else if (!py_to_json_value(item.get(), jsonld.values.emplace_back())) {
      return false;
    }
  }
  return true;
}

template <class Pair, auto First, auto Second>
bool convert_pairs(PyObject* obj, std::vector<Pair>& out) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!convert(obj, pairs)) return false;
  out.reserve(pairs.size());
  for (auto& [first, second] : pairs) {
    Pair& item = out.emplace_back();
    item.*First = std::move(first);
    item.*Second = std::move(second);
  }
  return true;
}

struct Properties {
  std::vector<MetaProperty>& out;
};
bool convert(PyObject* obj, Properties& p) {
  if (obj == Py_None) return true;
  return convert_pairs<MetaProperty, &MetaProperty::property, &MetaProperty::content>(obj, p.out);
}

struct Alternates {
  std::optional<std::vector<HreflangAlternate>>& out;
};
bool convert(PyObject* obj, Alternates& a) {
  if (obj == Py_None) return true;
  return convert_pairs<HreflangAlternate, &HreflangAlternate::language, &HreflangAlternate::href>(
      obj, a.out.emplace());
}

constexpr const char* kParams[] = {"route",        "url",           "status",   "title",
                                   "description",  "canonical",     "robots",   "properties",
                                   "jsonld",       "jsonld_errors", "hreflang", "in_sitemap",
                                   "redirect_url", "final_url"};
constexpr Signature kSig{"PageFacts.__new__", kParams, 1, 1, 0, 0};

PyObject* facts_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    PageFacts f;
    std::string route;
    std::optional<std::vector<std::string>> errors;
    if (!bind<kSig>(CallArgs(args, kwargs), route, f.url, Status{f.status}, f.title, f.description,
                    f.canonical, RobotsPieces{f.robots}, Properties{f.properties},
                    JsonLd{f.jsonld, f.jsonld_errors}, errors, Alternates{f.hreflang}, f.in_sitemap,
                    f.redirect_url, f.final_url))
      return nullptr;
    f.route = route_path(route);
    if (errors) {
      f.jsonld_errors.insert(f.jsonld_errors.end(), std::make_move_iterator(errors->begin()),
                             std::make_move_iterator(errors->end()));
    }
    return Box<PageFacts>::create(type, std::move(f));
  });
}

// --- properties --------------------------------------------------------------------

const PageFacts& facts_of(PyObject* self) { return Box<PageFacts>::of(self); }

template <class Pair, auto First, auto Second>
PyObject* pairs_to_py(const std::vector<Pair>& pairs) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(pairs.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    PyObject* item = tuple_of(pairs[i].*First, pairs[i].*Second);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

PyObject* properties_to_py(const PageFacts& f) {
  return pairs_to_py<MetaProperty, &MetaProperty::property, &MetaProperty::content>(f.properties);
}

PyObject* hreflang_to_py(const PageFacts& f) {
  if (!f.hreflang) Py_RETURN_NONE;
  return pairs_to_py<HreflangAlternate, &HreflangAlternate::language, &HreflangAlternate::href>(
      *f.hreflang);
}

PyObject* status_to_py(const PageFacts& f) {
  if (!f.status) Py_RETURN_NONE;
  return to_py(static_cast<std::uint32_t>(*f.status));
}

PyObject* jsonld_to_py(const PageFacts& f) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(f.jsonld.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < f.jsonld.size(); ++i) {
    PyObject* item = json_to_pyobject_depth(f.jsonld[i], 0);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

template <PyObject* (*Get)(const PageFacts&)>
PyObject* getter(PyObject* self, void*) {
  return guard([&] { return Get(facts_of(self)); });
}

// --- comparison, repr, pickling --------------------------------------------------------

PyObject* facts_richcompare(PyObject* self, PyObject* other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !Box<PageFacts>::is_instance(other)) Py_RETURN_NOTIMPLEMENTED;
  return to_py((facts_of(self) == facts_of(other)) == (op == Py_EQ));
}

/// The keyword arguments that rebuild the facts, defaults left out. A JSON-LD value
/// that is a JSON string goes back as its JSON text: a str argument is a script.
PyObject* facts_kwargs(const PageFacts& f) {
  Ref kwargs = Ref::steal(PyDict_New());
  if (!kwargs) return nullptr;
  auto put = [&](const char* key, PyObject* fresh) {
    Ref value = Ref::steal(fresh);
    return value && PyDict_SetItemString(kwargs.get(), key, value.get()) == 0;
  };
  bool ok = true;
  if (f.url) ok = ok && put("url", to_py(*f.url));
  if (f.status) ok = ok && put("status", status_to_py(f));
  if (f.title) ok = ok && put("title", to_py(*f.title));
  if (f.description) ok = ok && put("description", to_py(*f.description));
  if (f.canonical) ok = ok && put("canonical", to_py(*f.canonical));
  if (!f.robots.empty()) ok = ok && put("robots", to_py(f.robots));
  if (!f.properties.empty()) ok = ok && put("properties", properties_to_py(f));
  if (!f.jsonld.empty()) {
    Ref values = Ref::steal(jsonld_to_py(f));
    if (!values) return nullptr;
    for (std::size_t i = 0; i < f.jsonld.size(); ++i) {
      if (!f.jsonld[i].is_string()) continue;
      PyObject* text = to_py(to_json_compact(f.jsonld[i]));
      if (text == nullptr) return nullptr;
      PyList_SetItem(values.get(), static_cast<Py_ssize_t>(i), text);
    }
    ok = ok && put("jsonld", values.release());
  }
  if (!f.jsonld_errors.empty()) ok = ok && put("jsonld_errors", to_py(f.jsonld_errors));
  if (f.hreflang) ok = ok && put("hreflang", hreflang_to_py(f));
  if (f.in_sitemap) ok = ok && put("in_sitemap", to_py(*f.in_sitemap));
  if (f.redirect_url) ok = ok && put("redirect_url", to_py(*f.redirect_url));
  if (f.final_url) ok = ok && put("final_url", to_py(*f.final_url));
  return ok ? kwargs.release() : nullptr;
}

PyObject* facts_reduce(PyObject* self) {
  const PageFacts& f = facts_of(self);
  Ref args = Ref::steal(tuple_of(f.route));
  Ref kwargs = args ? Ref::steal(facts_kwargs(f)) : Ref();
  return kwargs ? reduce_to_call(self, args.get(), kwargs.get()) : nullptr;
}

PyObject* facts_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    const PageFacts& f = facts_of(self);
    Ref kwargs = Ref::steal(PyDict_New());
    Ref route = Ref::steal(to_py(f.route));
    Ref rest = Ref::steal(facts_kwargs(f));
    if (!kwargs || !route || !rest ||
        PyDict_SetItemString(kwargs.get(), "route", route.get()) < 0 ||
        PyDict_Update(kwargs.get(), rest.get()) < 0)
      return nullptr;
    return keyword_repr("PageFacts", kwargs.get());
  });
}

PyMethodDef kMethods[] = {
    fast_def("__reduce__", no_args<"PageFacts.__reduce__", facts_reduce>,
             "__reduce__($self, /)\n--\n\nPickles the facts as a call of the class."),
    {},
};

PyGetSetDef kProperties[] = {
    property<&PageFacts::route>("route", "The route path (query and fragment removed)."),
    property<&PageFacts::url>("url", "The address the page was read from, or None."),
    {"status", getter<status_to_py>, nullptr, "The HTTP status, or None when not known.", nullptr},
    property<&PageFacts::title>("title", "The text of <title>, or None without one."),
    property<&PageFacts::description>("description", "The meta description, or None."),
    property<&PageFacts::canonical>("canonical", "The canonical link's href, or None."),
    property<&PageFacts::robots>("robots", "The robots directives, one piece each (a new list)."),
    {"properties", getter<properties_to_py>, nullptr,
     "Open Graph and Twitter Card (property, content) pairs in page order (a new list).", nullptr},
    {"jsonld", getter<jsonld_to_py>, nullptr,
     "The value of each JSON-LD script that parsed (new Python objects).", nullptr},
    property<&PageFacts::jsonld_errors>(
        "jsonld_errors", "The parser's message for each JSON-LD script that did not parse."),
    {"hreflang", getter<hreflang_to_py>, nullptr,
     "(language, href) pairs of the hreflang alternates, or None when not known.", nullptr},
    property<&PageFacts::in_sitemap>("in_sitemap",
                                     "Whether the sitemap lists the page, or None when not known."),
    property<&PageFacts::redirect_url>(
        "redirect_url", "Where the redirect response at url sends the client, or None."),
    property<&PageFacts::final_url>(
        "final_url", "The address read after following redirects, or None when not followed."),
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "PageFacts(route, *, url=None, status=None, title=None, description=None, "
         "canonical=None, robots=(), properties=(), jsonld=(), jsonld_errors=(), "
         "hreflang=None, in_sitemap=None, redirect_url=None, final_url=None)\n--\n\n"
         "What a page says about itself: the input of a contract check.\n\n"
         "route is cut at its first '?' or '#'. status is an HTTP status (100-599).\n"
         "robots is a comma-separated directive text or its pieces; properties a\n"
         "sequence of (property, content) pairs such as ('og:title', 'Hello'); jsonld a\n"
         "sequence of JSON-LD scripts, each its text (a str, parsed here: a text that\n"
         "does not parse is kept in jsonld_errors, not raised) or its value (anything\n"
         "json.dumps writes); hreflang a sequence of (language, href) pairs. None and an\n"
         "absent hreflang or in_sitemap mean 'not known'. redirect_url is the resolved\n"
         "Location of a redirect response (status 3xx) at url; final_url the address the\n"
         "page was finally read from when redirects were followed (status and head are\n"
         "then that response's).")},
    {Py_tp_new, reinterpret_cast<void*>(&facts_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<PageFacts>::dealloc)},
    {Py_tp_methods, kMethods},
    {Py_tp_getset, kProperties},
    {Py_tp_richcompare, reinterpret_cast<void*>(&facts_richcompare)},
    {Py_tp_repr, reinterpret_cast<void*>(&facts_repr)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_site.PageFacts", sizeof(Box<PageFacts>), 0, kFinalClassFlags,
                     kSlots};

// --- facts_from_payload -----------------------------------------------------------------

constexpr const char* kFromPayloadParams[] = {"payload", "route"};
constexpr Signature kFromPayloadSig{"facts_from_payload", kFromPayloadParams, 2, 2};

PyObject* facts_from_payload_fn(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const SEOPayload* payload = nullptr;
    std::string_view route;
    if (!bind<kFromPayloadSig>(CallArgs(args, nargs, kwnames), payload, route)) return nullptr;
    return Box<PageFacts>::create_in(module, facts_from_payload(*payload, route));
  });
}

}  // namespace

PyType_Spec* page_facts_spec() { return &kSpec; }

PyMethodDef kFactsFromPayloadDef =
    fast_def("facts_from_payload", facts_from_payload_fn,
             "facts_from_payload(payload, route)\n--\n\n"
             "The facts of the head that payload.render_html() writes, served at route.\n\n"
             "The title and canonical are present, the description when not empty; URL,\n"
             "status, hreflang and sitemap membership are not known.");

}  // namespace zoret::py
