// SEOPayload (made only by the build functions)
//   .title .description .canonical .robots -> str
//   .og -> OGPayload   .twitter -> TwitterPayload   (fresh objects on each access)
//   .schema_jsonld -> dict | list | ... | None
//   to_dict() keys() get(key, default=None) len() iter() [key] `key in`
//   == / != against SEOPayload or dict; ordering -> NotImplemented; unhashable
//   to_json() hash() etag() render_html() render_opengraph() render_twitter()
//   render_jsonld()
// OGPayload, TwitterPayload (made only by the properties above): properties, to_dict()
// All three: repr() and pickling and copying through the restorer of zoret._zoret_site,
// which reads a payload's JSON form and the other two's fields.
#include "types/payload.hpp"

#include "classes.hpp"
#include "frame/bind.hpp"
#include "frame/dict_builder.hpp"
#include "frame/json_value.hpp"
#include "frame/names.hpp"
#include "types/record_slots.hpp"
#include "zoret/detail/scratch_text.hpp"
#include "zoret/payload_output.hpp"
#include "zoret/render.hpp"
#include "zoret/unicode.hpp"

namespace zoret::py {

namespace {

// The two records as the dictionary form holds them: present fields, keys sorted.
PyObject* sorted_dict(const OGPayload& og) {
  return DictBuilder()
      .add_present("audio", og.audio)
      .add_present("description", og.description)
      .add_present("image", og.image)
      .add_present("image_alt", og.image_alt)
      .add_present("image_height", og.image_height)
      .add_present("image_width", og.image_width)
      .add_present("locale", og.locale)
      .add_present("locale_alternate", og.locale_alternate)
      .add_present("site_name", og.site_name)
      .add_present("title", og.title)
      .add("type", og.type)
      .add_present("url", og.url)
      .add_present("video", og.video)
      .finish();
}

PyObject* sorted_dict(const TwitterPayload& tw) {
  return DictBuilder()
      .add("card", tw.card)
      .add_present("creator", tw.creator)
      .add_present("description", tw.description)
      .add_present("image", tw.image)
      .add_present("image_alt", tw.image_alt)
      .add_present("site", tw.site)
      .add_present("title", tw.title)
      .finish();
}

/// The member `name` of the dictionary form as a new object; nullptr without an
/// error set when the form has no such member.
PyObject* member_to_py(const SEOPayload& payload, std::string_view name) {
  if (!payload.dict_has(name)) return nullptr;
  if (name == "title") return to_py(std::string_view(payload.title));
  if (name == "description") return to_py(std::string_view(payload.description));
  if (name == "canonical") return to_py(std::string_view(payload.canonical));
  if (name == "robots") return to_py(std::string_view(payload.robots));
  if (name == "og") return sorted_dict(payload.og);
  if (name == "twitter") return sorted_dict(payload.twitter);
  if (name == "schema_jsonld") return json_to_pyobject_depth(*payload.schema_jsonld, 0);
  return json_to_pyobject_depth(payload.extra.find(std::string(name))->second, 0);
}

}  // namespace

// Member by member in key order, so that a failing conversion is met where the
// dictionary form has it; the JSON-LD is converted where it lies, never copied.
PyObject* payload_to_pydict(const SEOPayload& payload) {
  Ref out = Ref::steal(PyDict_New());
  if (!out) return nullptr;
  for (const std::string_view key : payload.dict_keys()) {
    Ref item = Ref::steal(member_to_py(payload, key));
    Ref name = item ? Ref::steal(name_to_py(key)) : Ref();
    if (!name || PyDict_SetItem(out.get(), name.get(), item.get()) < 0) return nullptr;
  }
  return out.release();
}

namespace {

using PayloadBox = Box<SEOPayload>;
const SEOPayload& payload_of(PyObject* self) { return PayloadBox::of(self); }

// --- mapping behaviour --------------------------------------------------------------
//
// Every member answers from the dictionary form. The form never changes, so once the
// whole of it is known to convert into Python objects a member is converted on its
// own. While that is not known to hold, each member builds the whole dictionary as
// to_dict() does, so that a conversion failure surfaces exactly where and how it
// does there. Keys that are str subclasses take that path too: the dictionary's own
// lookup is what defines their meaning.

/// A mapping key: any str, looked up as it is (a lone surrogate simply is no key).
struct Key {
  PyObject* str = nullptr;
};

bool convert(PyObject* obj, Key& out) {
  if (!PyUnicode_Check(obj)) {
    raise_type_error("'" + type_name(obj) + "' object cannot be converted to 'str'");
    return false;
  }
  out.str = obj;
  return true;
}

bool key_arg(PyObject* obj) {
  Key key;
  return arg(obj, "key", key);
}

bool form_converts(const SEOPayload& payload) {
  for (const std::string* text : {&payload.title, &payload.description, &payload.canonical,
                                  &payload.robots}) {
    if (!is_valid_utf8(*text)) return false;
  }
  if (!json_converts(to_dict(payload.og), 0) || !json_converts(to_dict(payload.twitter), 0)) {
    return false;
  }
  if (payload.schema_jsonld && !json_converts(*payload.schema_jsonld, 0)) return false;
  for (const auto& [name, value] : payload.extra) {
    if (!is_valid_utf8(name) || !json_converts(value, 0)) return false;
  }
  return true;
}

bool form_is_known_to_convert(PyObject* self) {
  auto& memo = PayloadBox::memo_of(self);
  if (memo.converts < 0) memo.converts = form_converts(payload_of(self)) ? 1 : 0;
  return memo.converts == 1;
}

/// The key's text when one member may be converted alone for it; nullopt when the
/// whole dictionary has to be built.
std::optional<std::string_view> member_key(PyObject* self, PyObject* key) {
  if (!form_is_known_to_convert(self) || !PyUnicode_CheckExact(key)) return std::nullopt;
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(key, &size);
  if (text == nullptr) {
    PyErr_Clear();  // a lone surrogate: no key of ours, and the dictionary says so
    return std::nullopt;
  }
  return std::string_view(text, static_cast<std::size_t>(size));
}

PyObject* payload_to_dict(PyObject* self) {
  auto& memo = PayloadBox::memo_of(self);
  if (memo.dict == nullptr) {
    if (!memo.dict_asked || !form_is_known_to_convert(self)) {
      memo.dict_asked = true;
      return payload_to_pydict(payload_of(self));
    }
    memo.dict = payload_to_pydict(payload_of(self));
    if (memo.dict == nullptr) return nullptr;
  }
  return copy_json_pyobject(memo.dict);
}

PyObject* payload_keys(PyObject* self) {
  if (form_is_known_to_convert(self)) {
    const auto keys = payload_of(self).dict_keys();
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(keys.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      PyObject* name = name_to_py(keys[i]);
      if (name == nullptr) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), name);
    }
    return list.release();
  }
  Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
  return dict ? PyDict_Keys(dict.get()) : nullptr;
}

Py_ssize_t payload_len(PyObject* self) {
  return guard<Py_ssize_t>(-1, [&]() -> Py_ssize_t {
    if (form_is_known_to_convert(self)) {
      return static_cast<Py_ssize_t>(payload_of(self).dict_keys().size());
    }
    Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
    return dict ? PyDict_Size(dict.get()) : -1;
  });
}

PyObject* payload_iter(PyObject* self) {
  return guard([&]() -> PyObject* {
    Ref keys = Ref::steal(payload_keys(self));
    return keys ? PyObject_GetIter(keys.get()) : nullptr;
  });
}

/// The value under `key`, or nullptr: with an error set, or without one when the
/// dictionary has no such key.
PyObject* lookup(PyObject* self, PyObject* key) {
  if (auto name = member_key(self, key)) {
    PyObject* kept = PayloadBox::memo_of(self).dict;
    if (kept == nullptr) return member_to_py(payload_of(self), *name);
    PyObject* value = PyDict_GetItemWithError(kept, key);
    return value != nullptr ? copy_json_pyobject(value) : nullptr;
  }
  Ref dict = Ref::steal(payload_to_pydict(payload_of(self)));
  if (!dict) return nullptr;
  return Ref::borrow(PyDict_GetItemWithError(dict.get(), key)).release();
}

PyObject* payload_getitem(PyObject* self, PyObject* key) {
  return guard([&]() -> PyObject* {
    if (!key_arg(key)) return nullptr;
    PyObject* value = lookup(self, key);
    if (value == nullptr && !PyErr_Occurred()) PyErr_SetObject(PyExc_KeyError, key);
    return value;
  });
}

constexpr const char* kGetParams[] = {"key", "default"};
constexpr Signature kGetSig{"SEOPayload.get", kGetParams, 2, 1};

PyObject* payload_get(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    Key key;
    PyObject* fallback = Py_None;
    if (!bind<kGetSig>(CallArgs(args, nargs, kwnames), key, fallback)) return nullptr;
    PyObject* value = lookup(self, key.str);
    if (value == nullptr && PyErr_Occurred()) return nullptr;
    return value != nullptr ? value : Ref::borrow(fallback).release();
  });
}

int payload_contains(PyObject* self, PyObject* key) {
  return guard<int>(-1, [&]() -> int {
    if (!key_arg(key)) return -1;
    if (auto name = member_key(self, key)) return payload_of(self).dict_has(*name) ? 1 : 0;
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
  return guard([&] { return Box<OGPayload>::create_in(module_of(self), payload_of(self).og); });
}

PyObject* payload_twitter(PyObject* self, void*) {
  return guard(
      [&] { return Box<TwitterPayload>::create_in(module_of(self), payload_of(self).twitter); });
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

// --- pickling --------------------------------------------------------------------

// The dictionary form and, apart, the JSON-LD: a present null stays apart from an
// absent JSON-LD (the dictionary reader takes null for absent), and the JSON-LD is
// not nested one level deeper than the parser has to read it.
PyObject* payload_reduce(PyObject* self) {
  const SEOPayload& payload = payload_of(self);
  const Json dict = payload.to_dict_without_jsonld();
  std::optional<std::string> jsonld;
  if (payload.schema_jsonld) jsonld = to_json_compact(*payload.schema_jsonld);
  Ref restorer = Ref::steal(site_reconstructor());
  if (!restorer) return nullptr;
  ArgsCollector args(module_of(self));
  args.positional("dictionary", to_json_compact(dict));
  args.positional("schema_jsonld", jsonld);
  return args.reduce_with(restorer.get(), reinterpret_cast<PyObject*>(Py_TYPE(self)));
}

// --- outputs -------------------------------------------------------------------

// The payload never changes, so its JSON-LD text, its JSON text and its hash are
// made once per object. The head snippets, which need the JSON-LD in a layout of
// their own, keep its compact text; to_json() and hash() use that text when it is
// there and otherwise walk the value, which is cheaper for one output.
std::string_view memo_jsonld(PyObject* self) {
  auto& memo = PayloadBox::memo_of(self);
  if (!memo.jsonld_written) {
    memo.jsonld = jsonld_text(payload_of(self));
    memo.jsonld_written = true;
  }
  return memo.jsonld;
}

// The text goes straight into its str, written in the thread's scratch text.
PyObject* payload_to_json(PyObject* self) {
  auto& memo = PayloadBox::memo_of(self);
  if (memo.pretty_json == nullptr) {
    detail::ScratchText scratch;
    if (memo.jsonld_written) {
      append_json_pretty(scratch.text(), payload_of(self), memo.jsonld);
    } else {
      append_json_pretty(scratch.text(), payload_of(self));
    }
    memo.pretty_json = to_py(std::string_view(scratch.text()));
    if (memo.pretty_json == nullptr) return nullptr;
  }
  return Py_NewRef(memo.pretty_json);
}

/// The hash, made on first use; nullptr with the exception set on failure.
const std::string* memo_hash(PyObject* self) {
  auto& memo = PayloadBox::memo_of(self);
  if (memo.hash.empty()) {
    auto made = memo.jsonld_written ? hash_payload(payload_of(self), memo.jsonld)
                                    : hash_payload(payload_of(self));
    if (!made) {
      raise_display_as_value_error(made.error());
      return nullptr;
    }
    memo.hash = *std::move(made);
  }
  return &memo.hash;
}

PyObject* payload_hash(PyObject* self) {
  const std::string* hash = memo_hash(self);
  return hash != nullptr ? to_py(std::string_view(*hash)) : nullptr;
}

// etag_payload() is the hash in double quotes; this is that text from the memo.
PyObject* payload_etag(PyObject* self) {
  const std::string* hash = memo_hash(self);
  if (hash == nullptr) return nullptr;
  std::string etag;
  etag.reserve(hash->size() + 2);
  etag += '"';
  etag += *hash;
  etag += '"';
  return to_py(std::string_view(etag));
}

template <auto Render>
PyObject* text_of(PyObject* self) {
  return to_py(std::string_view(Render(payload_of(self))));
}

template <std::string (*Render)(const SEOPayload&, std::string_view)>
PyObject* text_with_jsonld(PyObject* self) {
  return to_py(std::string_view(Render(payload_of(self), memo_jsonld(self))));
}

// The snippet is copied into a str at once, so it is written into a buffer kept by
// the thread instead of a string made and freed on every call; a buffer that grew
// past the usual page is let go.
PyObject* payload_render_html(PyObject* self) {
  const std::string_view jsonld = memo_jsonld(self);
  detail::ScratchText scratch;
  append_html(scratch.text(), payload_of(self), jsonld);
  return to_py(std::string_view(scratch.text()));
}

PyMethodDef kPayloadMethods[] = {
    reduce_def<"SEOPayload.__reduce__", payload_reduce>(),
    fast_def("to_dict", no_args<"SEOPayload.to_dict", payload_to_dict>,
             "to_dict($self, /)\n--\n\nThe payload as a new dict, keys sorted at every level."),
    fast_def("keys", no_args<"SEOPayload.keys", payload_keys>,
             "keys($self, /)\n--\n\nThe top-level keys of to_dict(), as a new list."),
    fast_def("get", payload_get,
             "get($self, /, key, default=None)\n--\n\n"
             "The value under `key` in to_dict(), else `default`."),
    fast_def("to_json", no_args<"SEOPayload.to_json", payload_to_json>,
             "to_json($self, /)\n--\n\nThe payload as two-space indented JSON, fields in declaration order."),
    fast_def("hash", no_args<"SEOPayload.hash", payload_hash>,
             "hash($self, /)\n--\n\nSHA-256 of the compact JSON text, as 64 lower-case hex digits."),
    fast_def("etag", no_args<"SEOPayload.etag", payload_etag>,
             "etag($self, /)\n--\n\nThe hash as a strong HTTP entity tag (in double quotes)."),
    fast_def("render_html", no_args<"SEOPayload.render_html", payload_render_html>,
             "render_html($self, /)\n--\n\nThe <head> snippet: one tag per line, ending with a newline."),
    fast_def("render_opengraph", no_args<"SEOPayload.render_opengraph", text_of<&render_opengraph>>,
             "render_opengraph($self, /)\n--\n\nThe Open Graph meta tags, one per line."),
    fast_def("render_twitter", no_args<"SEOPayload.render_twitter", text_of<&render_twitter>>,
             "render_twitter($self, /)\n--\n\nThe Twitter Card meta tags, one per line."),
    fast_def("render_jsonld", no_args<"SEOPayload.render_jsonld", text_with_jsonld<&render_jsonld>>,
             "render_jsonld($self, /)\n--\n\nThe JSON-LD script element, or '' without JSON-LD."),
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
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<SEOPayload>)},
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

PyObject* og_to_dict(PyObject* self) {
  const OGPayload& og = Box<OGPayload>::of(self);
  return DictBuilder()
      .add("type", og.type)
      .add_present("title", og.title)
      .add_present("description", og.description)
      .add_present("url", og.url)
      .add_present("image", og.image)
      .add_present("image_width", og.image_width)
      .add_present("image_height", og.image_height)
      .add_present("image_alt", og.image_alt)
      .add_present("site_name", og.site_name)
      .add_present("locale", og.locale)
      .add_present("locale_alternate", og.locale_alternate)
      .add_present("audio", og.audio)
      .add_present("video", og.video)
      .finish();
}

PyObject* twitter_to_dict(PyObject* self) {
  const TwitterPayload& tw = Box<TwitterPayload>::of(self);
  return DictBuilder()
      .add("card", tw.card)
      .add_present("title", tw.title)
      .add_present("description", tw.description)
      .add_present("image", tw.image)
      .add_present("image_alt", tw.image_alt)
      .add_present("site", tw.site)
      .add_present("creator", tw.creator)
      .finish();
}

PyMethodDef kOgMethods[] = {
    reduce_def<"OGPayload.__reduce__", reduce_through_site<OGPayload>>(),
    fast_def("to_dict", no_args<"OGPayload.to_dict", og_to_dict>,
             "to_dict($self, /)\n--\n\nA new dict: 'type' first, then the present fields in declaration order."),
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
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<OGPayload>)},
    {Py_tp_methods, kOgMethods},
    {Py_tp_getset, kOgProperties},
    {0, nullptr},
};

PyType_Spec kOgSpec = {"zoret._zoret_native.OGPayload", sizeof(Box<OGPayload>), 0,
                       kNoConstructorFlags, kOgSlots};

PyMethodDef kTwitterMethods[] = {
    reduce_def<"TwitterPayload.__reduce__", reduce_through_site<TwitterPayload>>(),
    fast_def("to_dict", no_args<"TwitterPayload.to_dict", twitter_to_dict>,
             "to_dict($self, /)\n--\n\nA new dict: 'card' first, then the present fields in declaration order."),
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
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<TwitterPayload>)},
    {Py_tp_methods, kTwitterMethods},
    {Py_tp_getset, kTwitterProperties},
    {0, nullptr},
};

PyType_Spec kTwitterSpec = {"zoret._zoret_native.TwitterPayload", sizeof(Box<TwitterPayload>), 0,
                            kNoConstructorFlags, kTwitterSlots};

}  // namespace

PyType_Spec* payload_spec() { return &kPayloadSpec; }
PyType_Spec* og_payload_spec() { return &kOgSpec; }
PyType_Spec* twitter_payload_spec() { return &kTwitterSpec; }

}  // namespace zoret::py
