// Every class here: repr(), pickling and copying through the constructor, and ==
// and hash() by value.
// Breadcrumb(name, url)
//   .name, .url -> str
// FAQItem(question, answer)
//   .question, .answer -> str
// Robots(*, index=True, follow=True, max_snippet=None, max_image_preview=None,
//        max_video_preview=None)
//   .index, .follow -> bool; .max_snippet, .max_video_preview -> int | None
//   .max_image_preview -> str | None
//   .serialize() -> str
// SEOImage(url, *, width=None, height=None, alt=None)
//   .url -> str; .width, .height -> int | None; .alt -> str | None
//   .to_dict() -> dict
// SEOEntity(entity_type, *, slug=None, title=None, excerpt=None, body_html=None,
//           status=None, featured_image=None, published_at=None, updated_at=None,
//           author_name=None, breadcrumbs=None, sku=None, price=None,
//           price_currency=None, availability=None, same_as=None, address=None,
//           faq_items=None)
//   .entity_type -> str; .title, .excerpt -> str | None
//   .to_dict() -> dict
#include <string>
#include <string_view>

#include "classes.hpp"
#include "frame/bind.hpp"
#include "frame/dict_builder.hpp"
#include "frame/json_value.hpp"
#include "types/model.hpp"
#include "types/record_slots.hpp"

namespace zoret::py {
namespace {

// --- Breadcrumb ---

constexpr const char* kBreadcrumbParams[] = {"name", "url"};
constexpr Signature kBreadcrumbSig{"Breadcrumb.__new__", kBreadcrumbParams, 2, 2};

PyObject* breadcrumb_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    Breadcrumb crumb;
    if (!bind<kBreadcrumbSig>(CallArgs(args, kwargs), crumb.name, crumb.url)) return nullptr;
    return Box<Breadcrumb>::create(type, std::move(crumb));
  });
}

PyMethodDef kBreadcrumbMethods[] = {
    reduce_def<"Breadcrumb.__reduce__", reduce_record<Breadcrumb>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kBreadcrumbProperties[] = {
    property<&Breadcrumb::name>("name", "The label shown for this step."),
    property<&Breadcrumb::url>("url", "The URL of this step, as given."),
    {},
};

PyType_Slot kBreadcrumbSlots[] = {
    {Py_tp_doc, const_cast<char*>("Breadcrumb(name, url)\n--\n\n"
                                  "A single entry in a breadcrumb trail.\n\n"
                                  "Both arguments are str; the URL is not validated.")},
    {Py_tp_new, reinterpret_cast<void*>(&breadcrumb_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<Breadcrumb>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<Breadcrumb>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<Breadcrumb>)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash<Breadcrumb>)},
    {Py_tp_getset, kBreadcrumbProperties},
    {Py_tp_methods, kBreadcrumbMethods},
    {0, nullptr},
};

PyType_Spec kBreadcrumbSpec = {"zoret._zoret_native.Breadcrumb", sizeof(Box<Breadcrumb>), 0,
                               kFinalClassFlags, kBreadcrumbSlots};

// --- FAQItem ---

constexpr const char* kFaqParams[] = {"question", "answer"};
constexpr Signature kFaqSig{"FAQItem.__new__", kFaqParams, 2, 2};

PyObject* faq_item_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    FAQItem item;
    if (!bind<kFaqSig>(CallArgs(args, kwargs), item.question, item.answer)) return nullptr;
    return Box<FAQItem>::create(type, std::move(item));
  });
}

PyMethodDef kFaqMethods[] = {
    reduce_def<"FAQItem.__reduce__", reduce_record<FAQItem>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kFaqProperties[] = {
    property<&FAQItem::question>("question", "The question."),
    property<&FAQItem::answer>("answer", "The answer."),
    {},
};

PyType_Slot kFaqSlots[] = {
    {Py_tp_doc, const_cast<char*>("FAQItem(question, answer)\n--\n\n"
                                  "A single question and answer pair for FAQ schemas.\n\n"
                                  "Both arguments are str.")},
    {Py_tp_new, reinterpret_cast<void*>(&faq_item_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<FAQItem>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<FAQItem>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<FAQItem>)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash<FAQItem>)},
    {Py_tp_getset, kFaqProperties},
    {Py_tp_methods, kFaqMethods},
    {0, nullptr},
};

PyType_Spec kFaqSpec = {"zoret._zoret_native.FAQItem", sizeof(Box<FAQItem>), 0, kFinalClassFlags,
                        kFaqSlots};

// --- Robots ---

constexpr const char* kRobotsParams[] = {"index", "follow", "max_snippet", "max_image_preview",
                                         "max_video_preview"};
constexpr Signature kRobotsSig{"Robots.__new__", kRobotsParams, 0, 0};

PyObject* robots_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    Robots robots;
    if (!bind<kRobotsSig>(CallArgs(args, kwargs), robots.index, robots.follow, robots.max_snippet,
                          robots.max_image_preview, robots.max_video_preview))
      return nullptr;
    return Box<Robots>::create(type, std::move(robots));
  });
}

PyObject* robots_serialize(PyObject* self) { return to_py(Box<Robots>::of(self).serialize()); }

PyMethodDef kRobotsMethods[] = {
    fast_def("serialize", no_args<"Robots.serialize", robots_serialize>,
             "serialize($self, /)\n--\n\n"
             "Returns the meta robots string, e.g. 'noindex,follow,max-snippet:-1'.\n\n"
             "Directives are joined with ',' in a fixed order: index/noindex,\n"
             "follow/nofollow, then max-snippet, max-image-preview and\n"
             "max-video-preview when set."),
    reduce_def<"Robots.__reduce__", reduce_record<Robots>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kRobotsProperties[] = {
    property<&Robots::index>("index", "Whether search engines may index the page."),
    property<&Robots::follow>("follow", "Whether search engines may follow links."),
    property<&Robots::max_snippet>("max_snippet", "Maximum snippet length, or None."),
    property<&Robots::max_image_preview>("max_image_preview",
                                         "Maximum image preview size (free text), or None."),
    property<&Robots::max_video_preview>("max_video_preview",
                                         "Maximum video preview length in seconds, or None."),
    {},
};

PyType_Slot kRobotsSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "Robots(*, index=True, follow=True, max_snippet=None, max_image_preview=None, "
         "max_video_preview=None)\n--\n\n"
         "Robots directives for a page.\n\n"
         "index and follow must be bool (an int is refused with TypeError);\n"
         "max_snippet and max_video_preview are 32-bit signed integers (OverflowError\n"
         "outside that range; negative values are kept); max_image_preview is free text.")},
    {Py_tp_new, reinterpret_cast<void*>(&robots_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<Robots>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<Robots>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<Robots>)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash<Robots>)},
    {Py_tp_getset, kRobotsProperties},
    {Py_tp_methods, kRobotsMethods},
    {0, nullptr},
};

PyType_Spec kRobotsSpec = {"zoret._zoret_native.Robots", sizeof(Box<Robots>), 0, kFinalClassFlags,
                           kRobotsSlots};

// --- SEOImage ---

constexpr const char* kImageParams[] = {"url", "width", "height", "alt"};
constexpr Signature kImageSig{"SEOImage.__new__", kImageParams, 1, 1};

PyObject* image_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    SEOImage image;
    if (!bind<kImageSig>(CallArgs(args, kwargs), image.url, image.width, image.height, image.alt))
      return nullptr;
    return Box<SEOImage>::create(type, std::move(image));
  });
}

// Built directly rather than through the serialised form: callers see the
// declaration order ("url" first), not sorted keys.
PyObject* image_to_dict(PyObject* self) {
  const SEOImage& image = Box<SEOImage>::of(self);
  return DictBuilder()
      .add("url", image.url)
      .add_present("width", image.width)
      .add_present("height", image.height)
      .add_present("alt", image.alt)
      .finish();
}

PyMethodDef kImageMethods[] = {
    fast_def("to_dict", no_args<"SEOImage.to_dict", image_to_dict>,
             "to_dict($self, /)\n--\n\n"
             "Returns a new dict: 'url', then 'width', 'height' and 'alt' when set."),
    reduce_def<"SEOImage.__reduce__", reduce_record<SEOImage>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kImageProperties[] = {
    property<&SEOImage::url>("url", "The image URL, as given."),
    property<&SEOImage::width>("width", "Width in pixels, or None."),
    property<&SEOImage::height>("height", "Height in pixels, or None."),
    property<&SEOImage::alt>("alt", "Alternative text, or None."),
    {},
};

PyType_Slot kImageSlots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "SEOImage(url, *, width=None, height=None, alt=None)\n--\n\n"
                    "An image reference used for Open Graph, Twitter Cards, and schemas.\n\n"
                    "width and height are integers from 0 to 4294967295 (OverflowError\n"
                    "otherwise); nothing is validated.")},
    {Py_tp_new, reinterpret_cast<void*>(&image_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOImage>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<SEOImage>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<SEOImage>)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash<SEOImage>)},
    {Py_tp_getset, kImageProperties},
    {Py_tp_methods, kImageMethods},
    {0, nullptr},
};

PyType_Spec kImageSpec = {"zoret._zoret_native.SEOImage", sizeof(Box<SEOImage>), 0,
                          kFinalClassFlags, kImageSlots};

// --- SEOEntity ---

constexpr const char* kEntityParams[] = {
    "entity_type", "slug", "title", "excerpt", "body_html", "status", "featured_image",
    "published_at", "updated_at", "author_name", "breadcrumbs", "sku", "price",
    "price_currency", "availability", "same_as", "address", "faq_items"};
constexpr Signature kEntitySig{"SEOEntity.__new__", kEntityParams, 1, 1};

PyObject* entity_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    SEOEntity e;
    std::string_view type_name;
    // Every argument is converted before the type name is parsed, so a wrongly
    // typed argument is reported ahead of an unknown entity type.
    if (!bind<kEntitySig>(CallArgs(args, kwargs), type_name, e.slug, e.title, e.excerpt,
                          e.body_html, e.status, e.featured_image, e.published_at, e.updated_at,
                          e.author_name, e.breadcrumbs, e.sku, e.price, e.price_currency,
                          e.availability, e.same_as, e.address, e.faq_items))
      return nullptr;
    auto parsed = entity_type_from_str(type_name);
    if (!parsed) return raise_by_kind(parsed.error());
    e.entity_type = *parsed;
    return Box<SEOEntity>::create(type, std::move(e));
  });
}

PyObject* entity_type_getter(PyObject* self, void*) {
  return guard([&] { return to_py(entity_type_name(Box<SEOEntity>::of(self).entity_type)); });
}

PyObject* entity_to_dict(PyObject* self) {
  std::string text;
  append_record_json(text, Box<SEOEntity>::of(self), /*pretty=*/false);
  return record_text_to_pydict(text);
}

PyMethodDef kEntityMethods[] = {
    fast_def("to_dict", no_args<"SEOEntity.to_dict", entity_to_dict>,
             "to_dict($self, /)\n--\n\n"
             "Returns the entity as a new dict with sorted keys at every level.\n\n"
             "Absent fields are left out; 'entity_type' holds the serialised form\n"
             "('LocalBusiness', not 'local_business')."),
    reduce_def<"SEOEntity.__reduce__", reduce_record<SEOEntity>>(),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kEntityProperties[] = {
    {"entity_type", &entity_type_getter, nullptr, "The entity type name, e.g. 'local_business'.",
     nullptr},
    property<&SEOEntity::title>("title", "The page title, or None."),
    property<&SEOEntity::excerpt>("excerpt", "The short description, or None."),
    {},
};

PyType_Slot kEntitySlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "SEOEntity(entity_type, *, slug=None, title=None, excerpt=None, body_html=None, "
         "status=None, featured_image=None, published_at=None, updated_at=None, "
         "author_name=None, breadcrumbs=None, sku=None, price=None, price_currency=None, "
         "availability=None, same_as=None, address=None, faq_items=None)\n--\n\n"
         "A content entity to generate SEO metadata for.\n\n"
         "entity_type is one of home, post, page, video, taxonomy, search, other,\n"
         "product, organization, local_business, faq (exact spelling; EntityError\n"
         "otherwise). featured_image is an SEOImage; breadcrumbs, faq_items and same_as\n"
         "are sequences of Breadcrumb, FAQItem and str. None means absent; an empty\n"
         "list is kept. The entity keeps its own copies of everything it is given.")},
    {Py_tp_new, reinterpret_cast<void*>(&entity_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<SEOEntity>::dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr<SEOEntity>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare<SEOEntity>)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash<SEOEntity>)},
    {Py_tp_getset, kEntityProperties},
    {Py_tp_methods, kEntityMethods},
    {0, nullptr},
};

PyType_Spec kEntitySpec = {"zoret._zoret_native.SEOEntity", sizeof(Box<SEOEntity>), 0,
                           kFinalClassFlags, kEntitySlots};

}  // namespace

PyType_Spec* breadcrumb_spec() { return &kBreadcrumbSpec; }
PyType_Spec* faq_item_spec() { return &kFaqSpec; }
PyType_Spec* robots_spec() { return &kRobotsSpec; }
PyType_Spec* image_spec() { return &kImageSpec; }
PyType_Spec* entity_spec() { return &kEntitySpec; }

}  // namespace zoret::py
