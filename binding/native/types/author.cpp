// SEOAuthor(name, *, url=None)
//   .name -> str
//   .url -> str | None
//   repr(), pickling and copying through the constructor, == and hash() by value
#include <optional>
#include <string>

#include "classes.hpp"
#include "frame/bind.hpp"
#include "types/record_slots.hpp"

namespace zoret::py {

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

PyMethodDef kMethods[] = {
    reduce_def<"SEOAuthor.__reduce__", reduce_record<Author>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>("SEOAuthor(name, *, url=None)\n--\n\n"
                                  "An author reference used in article schemas.")},
    {Py_tp_new, reinterpret_cast<void*>(&author_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<Author>::dealloc)},
    {Py_tp_getset, kProperties},
    {Py_tp_methods, kMethods},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<Author>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<Author>)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash<Author>)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SEOAuthor", sizeof(Box<Author>), 0, kFinalClassFlags, kSlots};

}  // namespace

PyType_Spec* author_spec() { return &kSpec; }

}  // namespace zoret::py
