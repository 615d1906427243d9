// SEOAuthor(name, *, url=None)
//   .name -> str
//   .url -> str | None
#include <optional>
#include <string>

#include "classes.hpp"
#include "frame/bind.hpp"

namespace zoret::py {

/// A value class for Python code around the module; no core operation reads it.
struct Author {
  std::string name;
  std::optional<std::string> url;
};
template <>
inline constexpr const char* kClassName<Author> = "SEOAuthor";

namespace {

constexpr const char* kParams[] = {"name", "url"};
constexpr Signature kSig{"SEOAuthor.__new__", kParams, 1, 1};

PyObject* author_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    Author author;
    if (!bind<kSig>(CallArgs(args, kwargs), author.name, author.url)) return nullptr;
    return Box<Author>::create(type, std::move(author));
  });
}

PyGetSetDef kProperties[] = {
    property<&Author::name>("name", "The author's display name."),
    property<&Author::url>("url", "The author's profile URL, or None."),
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>("SEOAuthor(name, *, url=None)\n--\n\n"
                                  "An author reference used in article schemas.")},
    {Py_tp_new, reinterpret_cast<void*>(&author_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<Author>::dealloc)},
    {Py_tp_getset, kProperties},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SEOAuthor", sizeof(Box<Author>), 0, kFinalClassFlags, kSlots};

}  // namespace

PyType_Spec* author_spec() { return &kSpec; }

}  // namespace zoret::py
