// SEOOverrides(*, meta_title=None, meta_description=None, canonical_url=None,
//              canonical_path=None, robots=None, og_title=None, og_description=None,
//              og_image=None, twitter_card=None, twitter_title=None,
//              twitter_description=None, twitter_image=None, schema_jsonld=None,
//              omit_schema=False, skip_title_template=False, twitter_creator=None,
//              og_audio=None, og_video=None)
//   opaque: no properties, no methods but repr() and pickling and copying through
//   the constructor
#include "classes.hpp"
#include "frame/bind.hpp"
#include "types/model.hpp"
#include "types/record_slots.hpp"

namespace zoret::py {
namespace {

constexpr const char* kParams[] = {
    "meta_title",    "meta_description", "canonical_url",       "canonical_path",
    "robots",        "og_title",         "og_description",      "og_image",
    "twitter_card",  "twitter_title",    "twitter_description", "twitter_image",
    "schema_jsonld", "omit_schema",      "skip_title_template", "twitter_creator",
    "og_audio",      "og_video"};
constexpr Signature kSig{"SEOOverrides.__new__", kParams, 0, 0};

PyObject* overrides_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    SEOOverrides o;
    // A replacement that json.dumps accepts but that is no valid JSON (NaN, too deep)
    // is kept as null rather than refused; the build then emits null.
    if (!bind<kSig>(CallArgs(args, kwargs), o.meta_title, o.meta_description, o.canonical_url,
                    o.canonical_path, o.robots, o.og_title, o.og_description, o.og_image,
                    o.twitter_card, o.twitter_title, o.twitter_description, o.twitter_image,
                    LenientJson{o.schema_jsonld}, o.omit_schema, o.skip_title_template,
                    o.twitter_creator, o.og_audio, o.og_video))
      return nullptr;
    return Box<SEOOverrides>::create(type, std::move(o));
  });
}

PyMethodDef kMethods[] = {
    reduce_def<"SEOOverrides.__reduce__", reduce_record<SEOOverrides>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "SEOOverrides(*, meta_title=None, meta_description=None, canonical_url=None, "
         "canonical_path=None, robots=None, og_title=None, og_description=None, "
         "og_image=None, twitter_card=None, twitter_title=None, twitter_description=None, "
         "twitter_image=None, schema_jsonld=None, omit_schema=False, "
         "skip_title_template=False, twitter_creator=None, og_audio=None, "
         "og_video=None)\n--\n\n"
         "Per-call overrides that take precedence over the entity and config.\n\n"
         "Texts are str, robots a Robots, og_image and twitter_image SEOImage instances,\n"
         "omit_schema and skip_title_template bool; None means absent. schema_jsonld may\n"
         "be anything json.dumps accepts (its exceptions pass through); a value it writes\n"
         "as NaN or Infinity is kept as null. canonical_url is checked by the build, not\n"
         "here. The object is opaque: it has no attributes; its repr shows what it holds.")},
    {Py_tp_new, reinterpret_cast<void*>(&overrides_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOOverrides>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<SEOOverrides>)},
    {Py_tp_methods, kMethods},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SEOOverrides", sizeof(Box<SEOOverrides>), 0,
                     kFinalClassFlags, kSlots};

}  // namespace

PyType_Spec* overrides_spec() { return &kSpec; }

}  // namespace zoret::py
