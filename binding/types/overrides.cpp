// SEOOverrides(*, meta_title=None, meta_description=None, canonical_url=None,
//              canonical_path=None, robots=None, og_title=None, og_description=None,
//              og_image=None, twitter_card=None, twitter_title=None,
//              twitter_description=None, twitter_image=None, schema_jsonld=None,
//              omit_schema=False, skip_title_template=False, twitter_creator=None,
//              og_audio=None, og_video=None)
//   opaque: no properties, no methods
#include "args.hpp"
#include "convert.hpp"
#include "types/classes.hpp"
#include "types/model.hpp"

namespace zoret::py {
namespace {

constexpr const char* kParams[] = {
    "meta_title",    "meta_description", "canonical_url",       "canonical_path",
    "robots",        "og_title",         "og_description",      "og_image",
    "twitter_card",  "twitter_title",    "twitter_description", "twitter_image",
    "schema_jsonld", "omit_schema",      "skip_title_template", "twitter_creator",
    "og_audio",      "og_video"};
constexpr Signature kSig{"SEOOverrides.__new__", kParams, 0, 0};

// A replacement that json.dumps accepts but that is no valid JSON (NaN, too deep)
// is kept as null rather than refused; the build then emits null.
bool schema_jsonld_arg(PyObject* obj, std::optional<Json>& out) {
  if (obj == nullptr || obj == Py_None) return true;
  Json value;
  if (!py_to_json_value_or_null(obj, value)) {
    add_processing_note("schema_jsonld");
    return false;
  }
  out = std::move(value);
  return true;
}

PyObject* overrides_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    PyObject* b[18];
    SEOOverrides o;
    if (!bind_args(kSig, args, kwargs, b) || !arg(b[0], "meta_title", o.meta_title) ||
        !arg(b[1], "meta_description", o.meta_description) ||
        !arg(b[2], "canonical_url", o.canonical_url) ||
        !arg(b[3], "canonical_path", o.canonical_path) || !arg(b[4], "robots", o.robots) ||
        !arg(b[5], "og_title", o.og_title) || !arg(b[6], "og_description", o.og_description) ||
        !arg(b[7], "og_image", o.og_image) || !arg(b[8], "twitter_card", o.twitter_card) ||
        !arg(b[9], "twitter_title", o.twitter_title) ||
        !arg(b[10], "twitter_description", o.twitter_description) ||
        !arg(b[11], "twitter_image", o.twitter_image) ||
        !schema_jsonld_arg(b[12], o.schema_jsonld) ||
        !arg(b[13], "omit_schema", o.omit_schema) ||
        !arg(b[14], "skip_title_template", o.skip_title_template) ||
        !arg(b[15], "twitter_creator", o.twitter_creator) || !arg(b[16], "og_audio", o.og_audio) ||
        !arg(b[17], "og_video", o.og_video))
      return nullptr;
    return Box<SEOOverrides>::create(std::move(o), type);
  });
}

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
         "here. The object is opaque: it has no attributes.")},
    {Py_tp_new, reinterpret_cast<void*>(&overrides_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOOverrides>::dealloc)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_native.SEOOverrides", sizeof(Box<SEOOverrides>), 0,
                     kFinalClassFlags, kSlots};

}  // namespace

ClassDef overrides_class() { return class_def<SEOOverrides>(&kSpec); }

}  // namespace zoret::py
