// SitemapEntry(route, lastmod=None, alternates=(), images=())
//   .route -> str   .lastmod -> str | None
//   .alternates -> tuple[tuple[str, str], ...]   .images -> tuple[str, ...]
//   repr, ==, hash, pickling (through the constructor)
#include <utility>

#include "frame/bind.hpp"
#include "outputs.hpp"
#include "zoret/site/language_tag.hpp"
#include "zoret/site/lastmod.hpp"

namespace zoret::py {

void add_note(std::string_view note) {
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr) {
    Ref text = Ref::steal(to_py(note));
    Ref done = text ? Ref::steal(PyObject_CallMethod(value, "add_note", "O", text.get())) : Ref();
    // The error being reported matters more than its note.
    if (!done) PyErr_Clear();
  }
  if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
  PyErr_Restore(type, value, traceback);
}

bool convert(PyObject* obj, AlternatesArg& target) {
  Ref pairs;
  if (PyDict_Check(obj)) {
    pairs = Ref::steal(PyDict_Items(obj));
    if (!pairs) return false;
    obj = pairs.get();
  }
  std::vector<std::pair<std::string, std::string>> items;
  if (!convert(obj, items)) return false;
  target.out.clear();
  target.out.reserve(items.size());
  for (auto& [language, route] : items) {
    auto tag = site::canonical_language_tag(language);
    if (!tag) {
      raise_by_kind(tag.error());
      return false;
    }
    target.out.push_back({*std::move(tag), std::move(route)});
  }
  return true;
}

namespace {

using EntryBox = Box<SitemapEntryValue>;

/// A lastmod given as str, datetime.date or an aware datetime.datetime, kept in
/// the form the sitemap schema validates, so a bad date fails where it is written.
struct LastmodArg {
  std::optional<std::string>& out;
};

Ref isoformat_of_date(PyObject* obj) {
  Ref datetime = Ref::steal(PyImport_ImportModule("datetime"));
  Ref date_cls = datetime ? Ref::steal(PyObject_GetAttrString(datetime.get(), "date")) : Ref();
  Ref datetime_cls =
      date_cls ? Ref::steal(PyObject_GetAttrString(datetime.get(), "datetime")) : Ref();
  if (!datetime_cls) return {};
  const int is_datetime = PyObject_IsInstance(obj, datetime_cls.get());
  const int is_date = is_datetime == 0 ? PyObject_IsInstance(obj, date_cls.get()) : is_datetime;
  if (is_datetime < 0 || is_date < 0) return {};
  if (is_date == 0) {
    raise_type_error("lastmod must be a str, a datetime.date or an aware datetime.datetime, not '" +
                     type_name(obj) + "'");
    return {};
  }
  if (is_datetime == 1) {
    Ref offset = Ref::steal(PyObject_CallMethod(obj, "utcoffset", nullptr));
    if (!offset) return {};
    if (offset.get() == Py_None) {
      Ref shown = Ref::steal(PyObject_Repr(obj));
      std::string_view text;
      if (!shown || !py::convert(shown.get(), text)) return {};
      raise_by_kind(ZoretError(ErrorKind::InvalidEntity,
                               "lastmod " + std::string(text) +
                                   " has no time zone; give an aware datetime "
                                   "(tzinfo=datetime.timezone.utc, for example) or a date"));
      return {};
    }
  }
  return Ref::steal(PyObject_CallMethod(obj, "isoformat", nullptr));
}

bool convert(PyObject* obj, LastmodArg& target) {
  if (obj == Py_None) {
    target.out.reset();
    return true;
  }
  Ref text = PyUnicode_Check(obj) ? Ref::borrow(obj) : isoformat_of_date(obj);
  std::string_view raw;
  if (!text || !py::convert(text.get(), raw)) return false;
  auto normal = site::normalize_lastmod(raw);
  if (!normal) {
    raise_by_kind(normal.error());
    return false;
  }
  target.out = *std::move(normal);
  return true;
}

constexpr const char* kParams[] = {"route", "lastmod", "alternates", "images"};
constexpr Signature kSig{"SitemapEntry.__new__", kParams, 4, 1};

PyObject* entry_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    SitemapEntryValue entry;
    LastmodArg lastmod{entry.lastmod};
    AlternatesArg alternates{entry.alternates};
    if (!bind<kSig>(CallArgs(args, kwargs), entry.route, lastmod, alternates, entry.images))
      return nullptr;
    return EntryBox::create(type, std::move(entry));
  });
}

PyObject* alternates_tuple(const SitemapEntryValue& entry) {
  Ref out = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(entry.alternates.size())));
  if (!out) return nullptr;
  for (std::size_t i = 0; i < entry.alternates.size(); ++i) {
    Ref language = Ref::steal(to_py(std::string_view(entry.alternates[i].language)));
    Ref route = Ref::steal(to_py(std::string_view(entry.alternates[i].route)));
    PyObject* pair = language && route ? PyTuple_Pack(2, language.get(), route.get()) : nullptr;
    if (pair == nullptr) return nullptr;
    PyTuple_SetItem(out.get(), static_cast<Py_ssize_t>(i), pair);
  }
  return out.release();
}

PyObject* images_tuple(const SitemapEntryValue& entry) {
  Ref list = Ref::steal(to_py(entry.images));
  return list ? PyList_AsTuple(list.get()) : nullptr;
}

PyObject* get_alternates(PyObject* self, void*) {
  return guard([&] { return alternates_tuple(EntryBox::of(self)); });
}

PyObject* get_images(PyObject* self, void*) {
  return guard([&] { return images_tuple(EntryBox::of(self)); });
}

/// (route, lastmod, alternates, images): the constructor's arguments.
PyObject* fields_tuple(const SitemapEntryValue& entry) {
  Ref route = Ref::steal(to_py(std::string_view(entry.route)));
  Ref lastmod = Ref::steal(to_py(entry.lastmod));
  Ref alternates = Ref::steal(alternates_tuple(entry));
  Ref images = Ref::steal(images_tuple(entry));
  if (!route || !lastmod || !alternates || !images) return nullptr;
  return PyTuple_Pack(4, route.get(), lastmod.get(), alternates.get(), images.get());
}

PyObject* entry_reduce(PyObject* self) {
  Ref fields = Ref::steal(fields_tuple(EntryBox::of(self)));
  if (!fields) return nullptr;
  return PyTuple_Pack(2, reinterpret_cast<PyObject*>(Py_TYPE(self)), fields.get());
}

PyObject* entry_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    const SitemapEntryValue& entry = EntryBox::of(self);
    Ref fields = Ref::steal(fields_tuple(entry));
    if (!fields) return nullptr;
    // The route always; the other fields only when they hold something.
    Ref text =
        Ref::steal(PyUnicode_FromFormat("SitemapEntry(%R", PyTuple_GetItem(fields.get(), 0)));
    static constexpr const char* kNames[] = {"lastmod", "alternates", "images"};
    const bool present[] = {entry.lastmod.has_value(), !entry.alternates.empty(),
                            !entry.images.empty()};
    for (int i = 0; i < 3 && text; ++i) {
      if (!present[i]) continue;
      text = Ref::steal(PyUnicode_FromFormat("%U, %s=%R", text.get(), kNames[i],
                                             PyTuple_GetItem(fields.get(), i + 1)));
    }
    return text ? PyUnicode_FromFormat("%U)", text.get()) : nullptr;
  });
}

bool same_entry(const SitemapEntryValue& a, const SitemapEntryValue& b) {
  if (a.route != b.route || a.lastmod != b.lastmod || a.images != b.images ||
      a.alternates.size() != b.alternates.size())
    return false;
  for (std::size_t i = 0; i < a.alternates.size(); ++i) {
    if (a.alternates[i].language != b.alternates[i].language ||
        a.alternates[i].route != b.alternates[i].route)
      return false;
  }
  return true;
}

PyObject* entry_richcompare(PyObject* self, PyObject* other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !EntryBox::is_instance(other)) Py_RETURN_NOTIMPLEMENTED;
  const bool equal = same_entry(EntryBox::of(self), EntryBox::of(other));
  return to_py(equal == (op == Py_EQ));
}

Py_hash_t entry_hash(PyObject* self) {
  return guard<Py_hash_t>(-1, [&]() -> Py_hash_t {
    Ref fields = Ref::steal(fields_tuple(EntryBox::of(self)));
    return fields ? PyObject_Hash(fields.get()) : -1;
  });
}

PyMethodDef kMethods[] = {
    fast_def("__reduce__", no_args<"SitemapEntry.__reduce__", entry_reduce>,
             "__reduce__($self, /)\n--\n\nPickles the entry through its constructor."),
    {},
};

PyGetSetDef kProperties[] = {
    property<&SitemapEntryValue::route>("route", "The route or absolute URL of the page."),
    property<&SitemapEntryValue::lastmod>(
        "lastmod", "The last modification as the sitemap writes it (W3C Datetime), or None."),
    {"alternates", get_alternates, nullptr,
     "The language versions as (language tag, route) pairs, tags in canonical form.", nullptr},
    {"images", get_images, nullptr, "Image routes or absolute URLs of the page.", nullptr},
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "SitemapEntry(route, lastmod=None, alternates=(), images=())\n--\n\n"
                    "One page of a sitemap: its route, when it last changed, its language\n"
                    "versions and its images.\n\n"
                    "`lastmod` is a W3C Datetime text, a datetime.date or an aware\n"
                    "datetime.datetime; `alternates` (language tag, route) pairs or a dict;\n"
                    "`images` routes or absolute URLs. Dates and language tags are checked\n"
                    "here (EntityError); routes when the entry is written.")},
    {Py_tp_new, reinterpret_cast<void*>(&entry_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&EntryBox::dealloc)},
    {Py_tp_methods, kMethods},
    {Py_tp_getset, kProperties},
    {Py_tp_repr, reinterpret_cast<void*>(&entry_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&entry_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(&entry_hash)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_site.SitemapEntry", sizeof(EntryBox), 0, kFinalClassFlags,
                     kSlots};

}  // namespace

PyType_Spec* sitemap_entry_spec() { return &kSpec; }

}  // namespace zoret::py
