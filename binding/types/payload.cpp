// SEOPayload (made only by the build functions)
//   .title .description .canonical .robots -> str
//   .og -> OGPayload   .twitter -> TwitterPayload   (fresh objects on each access)
//   .schema_jsonld -> dict | list | ... | None
//   to_dict() keys() get(key, default=None) len() iter() [key] `key in`
//   == / != against SEOPayload or dict; ordering -> NotImplemented; unhashable
//   to_json() hash() etag() render_html() render_opengraph() render_twitter()
//   render_jsonld()
// OGPayload, TwitterPayload (made only by the properties above): properties, to_dict()
#include "types/payload.hpp"

#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "types/classes.hpp"
#include "zoret/payload_output.hpp"
#include "zoret/render.hpp"

namespace zoret::py {

PyObject* payload_to_pydict(const SEOPayload& payload) {
  // The JSON-LD is most of a payload: it is converted where it lies instead of
  // being copied into the dictionary form first, and placed at its sorted position.
  const Json dict = payload.to_dict_without_jsonld();
  Ref out = Ref::steal(PyDict_New());
  if (!out) return nullptr;
  constexpr std::string_view kJsonld = "schema_jsonld";
  bool jsonld_pending = payload.schema_jsonld.has_value();
  auto add = [&](std::string_view key, const Json& value) {
    Ref item = Ref::steal(json_to_pyobject_depth(value, 0));
    Ref name = Ref::steal(to_py(key));
    return item && name && PyDict_SetItem(out.get(), name.get(), item.get()) == 0;
  };
  for (const auto& [key, value] : dict.get_ref<const Json::object_t&>()) {
    if (jsonld_pending && key > kJsonld) {
      if (!add(kJsonld, *payload.schema_jsonld)) return nullptr;
      jsonld_pending = false;
    }
    if (!add(key, value)) return nullptr;
  }
  if (jsonld_pending && !add(kJsonld, *payload.schema_jsonld)) return nullptr;
  return out.release();
}

namespace {

using PayloadBox = Box<SEOPayload>;
const SEOPayload& payload_of(PyObject* self) { return PayloadBox::of(self); }

// --- mapping behaviour: every member computes the dictionary afresh -------------

bool key_arg(PyObject* key) {
  if (PyUnicode_Check(key)) return true;
  raise_type_error("'" + type_name(key) + "' object cannot be converted to 'str'");
  add_processing_note("key");
  return false;
}

PyObject* payload_keys_list(PyObject* self) {
  Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
  return dict ? PyDict_Keys(dict.get()) : nullptr;
}

PyObject* payload_to_dict(PyObject* self, PyObject*) {
  return guard([&] { return payload_to_pydict(payload_of(self)); });
}

PyObject* payload_keys(PyObject* self, PyObject*) {
  return guard([&] { return payload_keys_list(self); });
}

Py_ssize_t payload_len(PyObject* self) {
  return guard<Py_ssize_t>(-1, [&]() -> Py_ssize_t {
    Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
    return dict ? PyDict_Size(dict.get()) : -1;
  });
}

PyObject* payload_iter(PyObject* self) {
  return guard([&]() -> PyObject* {
    Ref keys = Ref::steal(payload_keys_list(self));
    return keys ? PyObject_GetIter(keys.get()) : nullptr;
  });
}

PyObject* payload_getitem(PyObject* self, PyObject* key) {
  return guard([&]() -> PyObject* {
    if (!key_arg(key)) return nullptr;
    Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
    if (!dict) return nullptr;
    PyObject* value = PyDict_GetItemWithError(dict.get(), key);
    if (value == nullptr) {
      if (!PyErr_Occurred()) PyErr_SetObject(PyExc_KeyError, key);
      return nullptr;
    }
    return Ref::borrow(value).release();
  });
}

constexpr const char* kGetParams[] = {"key", "default"};
constexpr Signature kGetSig{"SEOPayload.get", kGetParams, 2, 1};

PyObject* payload_get(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* bound[2];
    if (!bind_args(kGetSig, args, nargs, kwnames, bound) || !key_arg(bound[0])) return nullptr;
    Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
    if (!dict) return nullptr;
    PyObject* value = PyDict_GetItemWithError(dict.get(), bound[0]);
    if (value == nullptr && PyErr_Occurred()) return nullptr;
    if (value == nullptr) value = bound[1] != nullptr ? bound[1] : Py_None;
    return Ref::borrow(value).release();
  });
}

int payload_contains(PyObject* self, PyObject* key) {
  return guard<int>(-1, [&]() -> int {
    if (!key_arg(key)) return -1;
    Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
    return dict ? PyDict_Contains(dict.get(), key) : -1;
  });
}

// --- comparisons -----------------------------------------------------------------

PyObject* payload_equals(PyObject* self, PyObject* other) {
  if (PayloadBox::is_instance(other)) return to_py(payload_of(self) == payload_of(other));
  if (PyDict_Check(other)) {
    // Python's own equality: 1 == 1.0 and key order does not matter here.
    Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
    return dict ? PyObject_RichCompare(dict.get(), other, Py_EQ) : nullptr;
  }
  Py_RETURN_FALSE;
}

PyObject* payload_richcompare(PyObject* self, PyObject* other, int op) {
  return guard([&]() -> PyObject* {
    if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
    Ref equal = Ref::steal(payload_equals(self, other));
    if (!equal || op == Py_EQ) return equal.release();
    const int truth = PyObject_IsTrue(equal.get());
    return truth < 0 ? nullptr : to_py(truth == 0);
  });
}

// --- properties ------------------------------------------------------------------

PyObject* payload_og(PyObject* self, void*) {
  return guard([&] { return Box<OGPayload>::create(payload_of(self).og); });
}

PyObject* payload_twitter(PyObject* self, void*) {
  return guard([&] { return Box<TwitterPayload>::create(payload_of(self).twitter); });
}

PyObject* payload_schema_jsonld(PyObject* self, void*) {
  return guard([&]() -> PyObject* {
    const auto& jsonld = payload_of(self).schema_jsonld;
    if (!jsonld) Py_RETURN_NONE;
    PyObject* value = json_to_pyobject_depth(*jsonld, 0);
    if (value != nullptr) return value;
    // Too deep for Python: the property reports "no JSON-LD" rather than raising.
    PyErr_Clear();
    Py_RETURN_NONE;
  });
}

// --- outputs -------------------------------------------------------------------

template <auto Render>
PyObject* text_or_display_error(PyObject* self, PyObject*) {
  return guard([&]() -> PyObject* {
    auto text = Render(payload_of(self));
    if (!text) return raise_display_as_value_error(text.error());
    return to_py(std::string_view(*text));
  });
}

template <auto Render>
PyObject* text_of(PyObject* self, PyObject*) {
  return guard([&] { return to_py(std::string_view(Render(payload_of(self)))); });
}

PyMethodDef kPayloadMethods[] = {
    {"to_dict", payload_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nThe payload as a new dict, keys sorted at every level."},
    {"keys", payload_keys, METH_NOARGS,
     "keys($self, /)\n--\n\nThe top-level keys of to_dict(), as a new list."},
    fast_def("get", payload_get,
             "get($self, /, key, default=None)\n--\n\n"
             "The value under `key` in to_dict(), else `default`."),
    {"to_json", text_of<&to_json_pretty>, METH_NOARGS,
     "to_json($self, /)\n--\n\nThe payload as two-space indented JSON, fields in declaration order."},
    {"hash", text_or_display_error<&hash_payload>, METH_NOARGS,
     "hash($self, /)\n--\n\nSHA-256 of the compact JSON text, as 64 lower-case hex digits."},
    {"etag", text_or_display_error<&etag_payload>, METH_NOARGS,
     "etag($self, /)\n--\n\nThe hash as a strong HTTP entity tag (in double quotes)."},
    {"render_html", text_of<&render_html>, METH_NOARGS,
     "render_html($self, /)\n--\n\nThe <head> snippet: one tag per line, ending with a newline."},
    {"render_opengraph", text_of<&render_opengraph>, METH_NOARGS,
     "render_opengraph($self, /)\n--\n\nThe Open Graph meta tags, one per line."},
    {"render_twitter", text_of<&render_twitter>, METH_NOARGS,
     "render_twitter($self, /)\n--\n\nThe Twitter Card meta tags, one per line."},
    {"render_jsonld", text_of<&render_jsonld>, METH_NOARGS,
     "render_jsonld($self, /)\n--\n\nThe JSON-LD script element, or '' without JSON-LD."},
    {},
};

PyGetSetDef kPayloadProperties[] = {
    property<&SEOPayload::title>("title", "The resolved page title."),
    property<&SEOPayload::description>("description", "The resolved meta description (may be empty)."),
    property<&SEOPayload::canonical>("canonical", "The canonical URL."),
    property<&SEOPayload::robots>("robots", "The meta robots directives, e.g. 'index,follow'."),
    {"og", payload_og, nullptr, "Open Graph metadata (a new OGPayload on each access).", nullptr},
    {"twitter", payload_twitter, nullptr, "Twitter Card metadata (a new TwitterPayload on each access).", nullptr},
    {"schema_jsonld", payload_schema_jsonld, nullptr,
     "The JSON-LD as Python objects, or None (also when it is nested too deeply).", nullptr},
    {},
};

PyType_Slot kPayloadSlots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "The resolved, deterministic SEO payload.\n\n"
                    "Made by build_seo_payload(); behaves as a read-only mapping of its\n"
                    "dictionary form and compares equal to an equal dict.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&PayloadBox::dealloc)},
    {Py_tp_methods, kPayloadMethods},
    {Py_tp_getset, kPayloadProperties},
    {Py_tp_richcompare, reinterpret_cast<void*>(&payload_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(&PyObject_HashNotImplemented)},
    {Py_tp_iter, reinterpret_cast<void*>(&payload_iter)},
    {Py_mp_length, reinterpret_cast<void*>(&payload_len)},
    {Py_mp_subscript, reinterpret_cast<void*>(&payload_getitem)},
    {Py_sq_contains, reinterpret_cast<void*>(&payload_contains)},
    {0, nullptr},
};

PyType_Spec kPayloadSpec = {"zoret._zoret_native.SEOPayload", sizeof(PayloadBox), 0,
                            kNoConstructorFlags, kPayloadSlots};

// --- OGPayload / TwitterPayload ----------------------------------------------------

// Builds a dict in declaration order with only the present fields.
class DictBuilder {
 public:
  DictBuilder() : dict_(Ref::steal(PyDict_New())) { ok_ = static_cast<bool>(dict_); }
  template <class V>
  void add(const char* key, const V& value) {
    if (!ok_) return;
    Ref item = Ref::steal(to_py(value));
    ok_ = item && PyDict_SetItemString(dict_.get(), key, item.get()) == 0;
  }
  template <class V>
  void add_present(const char* key, const std::optional<V>& value) {
    if (value) add(key, *value);
  }
  PyObject* finish() { return ok_ ? dict_.release() : nullptr; }

 private:
  Ref dict_;
  bool ok_;
};

PyObject* og_to_dict(PyObject* self, PyObject*) {
  return guard([&] {
    const OGPayload& og = Box<OGPayload>::of(self);
    DictBuilder d;
    d.add("type", og.type);
    d.add_present("title", og.title);
    d.add_present("description", og.description);
    d.add_present("url", og.url);
    d.add_present("image", og.image);
    d.add_present("image_width", og.image_width);
    d.add_present("image_height", og.image_height);
    d.add_present("image_alt", og.image_alt);
    d.add_present("site_name", og.site_name);
    d.add_present("locale", og.locale);
    d.add_present("locale_alternate", og.locale_alternate);
    d.add_present("audio", og.audio);
    d.add_present("video", og.video);
    return d.finish();
  });
}

PyObject* twitter_to_dict(PyObject* self, PyObject*) {
  return guard([&] {
    const TwitterPayload& tw = Box<TwitterPayload>::of(self);
    DictBuilder d;
    d.add("card", tw.card);
    d.add_present("title", tw.title);
    d.add_present("description", tw.description);
    d.add_present("image", tw.image);
    d.add_present("image_alt", tw.image_alt);
    d.add_present("site", tw.site);
    d.add_present("creator", tw.creator);
    return d.finish();
  });
}

PyMethodDef kOgMethods[] = {
    {"to_dict", og_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nA new dict: 'type' first, then the present fields in declaration order."},
    {},
};

PyGetSetDef kOgProperties[] = {
    property<&OGPayload::type>("type", "og:type ('article' or 'website' after a build)."),
    property<&OGPayload::title>("title", "og:title, or None."),
    property<&OGPayload::description>("description", "og:description, or None."),
    property<&OGPayload::url>("url", "og:url, or None."),
    property<&OGPayload::image>("image", "og:image, or None."),
    property<&OGPayload::image_width>("image_width", "og:image:width, or None."),
    property<&OGPayload::image_height>("image_height", "og:image:height, or None."),
    property<&OGPayload::image_alt>("image_alt", "og:image:alt, or None."),
    property<&OGPayload::site_name>("site_name", "og:site_name, or None."),
    property<&OGPayload::locale>("locale", "og:locale, or None."),
    property<&OGPayload::locale_alternate>("locale_alternate", "og:locale:alternate values, or None."),
    property<&OGPayload::audio>("audio", "og:audio, or None."),
    property<&OGPayload::video>("video", "og:video, or None."),
    {},
};

PyType_Slot kOgSlots[] = {
    {Py_tp_doc, const_cast<char*>("Open Graph metadata for a payload. Read-only.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<OGPayload>::dealloc)},
    {Py_tp_methods, kOgMethods},
    {Py_tp_getset, kOgProperties},
    {0, nullptr},
};

PyType_Spec kOgSpec = {"zoret._zoret_native.OGPayload", sizeof(Box<OGPayload>), 0,
                       kNoConstructorFlags, kOgSlots};

PyMethodDef kTwitterMethods[] = {
    {"to_dict", twitter_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nA new dict: 'card' first, then the present fields in declaration order."},
    {},
};

PyGetSetDef kTwitterProperties[] = {
    property<&TwitterPayload::card>("card", "twitter:card, e.g. 'summary_large_image'."),
    property<&TwitterPayload::title>("title", "twitter:title, or None."),
    property<&TwitterPayload::description>("description", "twitter:description, or None."),
    property<&TwitterPayload::image>("image", "twitter:image, or None."),
    property<&TwitterPayload::image_alt>("image_alt", "twitter:image:alt, or None."),
    property<&TwitterPayload::site>("site", "twitter:site, or None."),
    property<&TwitterPayload::creator>("creator", "twitter:creator, or None."),
    {},
};

PyType_Slot kTwitterSlots[] = {
    {Py_tp_doc, const_cast<char*>("Twitter Card metadata for a payload. Read-only.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<TwitterPayload>::dealloc)},
    {Py_tp_methods, kTwitterMethods},
    {Py_tp_getset, kTwitterProperties},
    {0, nullptr},
};

PyType_Spec kTwitterSpec = {"zoret._zoret_native.TwitterPayload", sizeof(Box<TwitterPayload>), 0,
                            kNoConstructorFlags, kTwitterSlots};

}  // namespace

ClassDef payload_class() { return class_def<SEOPayload>(&kPayloadSpec); }
ClassDef og_payload_class() { return class_def<OGPayload>(&kOgSpec); }
ClassDef twitter_payload_class() { return class_def<TwitterPayload>(&kTwitterSpec); }

}  // namespace zoret::py
