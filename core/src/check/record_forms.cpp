// The entity and overrides forms. The Python package reads the same forms from
// dictionaries by calling the record constructors, so every message here is
// worded as those constructors word it (the argument binder's "missing" and
// "unexpected keyword" texts, the conversions' "'int' object cannot be
// converted to 'str'", the note "(while processing 'title')"), and JSON types
// are named by the Python types `json.loads` makes of them. A test holds both
// readers to one table of forms.
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zoret/check/manifest.hpp"

#include "check/python_type.hpp"

namespace zoret {
namespace {

using detail::python_type;

using Object = Json::object_t;

/// A record constructor: its name in messages, its keyword names in order, and
/// how many of the first ones have no default.
struct Constructor {
  std::string_view name;
  std::span<const std::string_view> params;
  std::size_t required;
};

constexpr std::string_view kEntityParams[] = {
    "entity_type",    "slug",           "title",        "excerpt",     "body_html",   "status",
    "featured_image", "published_at",   "updated_at",   "author_name", "breadcrumbs", "sku",
    "price",          "price_currency", "availability", "same_as",     "address",     "faq_items"};
constexpr std::string_view kOverridesParams[] = {
    "meta_title",    "meta_description", "canonical_url",       "canonical_path",
    "robots",        "og_title",         "og_description",      "og_image",
    "twitter_card",  "twitter_title",    "twitter_description", "twitter_image",
    "schema_jsonld", "omit_schema",      "skip_title_template", "twitter_creator",
    "og_audio",      "og_video"};
constexpr std::string_view kImageParams[] = {"url", "width", "height", "alt"};
constexpr std::string_view kRobotsParams[] = {"index", "follow", "max_snippet", "max_image_preview",
                                              "max_video_preview"};
constexpr std::string_view kBreadcrumbParams[] = {"name", "url"};
constexpr std::string_view kFaqParams[] = {"question", "answer"};

constexpr Constructor kEntity{"SEOEntity.__new__", kEntityParams, 1};
constexpr Constructor kOverrides{"SEOOverrides.__new__", kOverridesParams, 0};
constexpr Constructor kImage{"SEOImage.__new__", kImageParams, 1};
constexpr Constructor kRobots{"Robots.__new__", kRobotsParams, 0};
constexpr Constructor kBreadcrumb{"Breadcrumb.__new__", kBreadcrumbParams, 2};
constexpr Constructor kFaqItem{"FAQItem.__new__", kFaqParams, 2};

/// Reads the arguments of one record from an object, keeping the first problem.
/// `where` locates the record in the form ("featured_image", "breadcrumbs[2]");
/// it is empty for the entity and the overrides themselves.
class Reader {
 public:
  Reader(Object& fields, std::string where) : fields_(fields), where_(std::move(where)) {}

  /// Unknown keys, then required ones absent: what the binder refuses before it
  /// converts anything.
  bool arguments(const Constructor& ctor) {
    for (const auto& [key, value] : fields_) {
      bool known = false;
      for (std::string_view param : ctor.params) known = known || param == key;
      if (!known) {
        return fail(std::string(ctor.name) + "() got an unexpected keyword argument '" + key + "'");
      }
    }
    std::vector<std::string_view> absent;
    for (std::size_t i = 0; i < ctor.required; ++i) {
      if (!fields_.contains(ctor.params[i])) absent.push_back(ctor.params[i]);
    }
    if (absent.empty()) return true;
    std::string message = std::string(ctor.name) + "() missing " + std::to_string(absent.size()) +
                          " required positional argument" + (absent.size() == 1 ? ": " : "s: ");
    for (std::size_t i = 0; i < absent.size(); ++i) {
      if (i != 0)
        message += absent.size() > 2 ? (i + 1 == absent.size() ? ", and " : ", ") : " and ";
      message += '\'';
      message += absent[i];
      message += '\'';
    }
    return fail(std::move(message));
  }

  /// The value under `key`; nullptr when the key is absent.
  Json* find(std::string_view key) {
    const auto it = fields_.find(key);
    return it == fields_.end() ? nullptr : &it->second;
  }

  /// A text that must be given (null is refused).
  bool text(std::string_view key, std::string& out) {
    Json* value = find(key);
    if (value == nullptr) return true;
    if (!value->is_string()) return cannot_convert(*value, "str", key);
    out = std::move(value->get_ref<std::string&>());
    return true;
  }

  bool text(std::string_view key, std::optional<std::string>& out) {
    Json* value = find(key);
    if (value == nullptr || value->is_null()) return true;
    return text(key, out.emplace());
  }

  bool flag(std::string_view key, bool& out) {
    Json* value = find(key);
    if (value == nullptr) return true;
    if (!value->is_boolean()) return cannot_convert(*value, "bool", key);
    out = value->get<bool>();
    return true;
  }

  /// A Python int conversion: bool is an int there (true is 1).
  template <class Int>
  bool integer(std::string_view key, std::optional<Int>& out) {
    Json* value = find(key);
    if (value == nullptr || value->is_null()) return true;
    std::int64_t number = 0;
    if (value->is_boolean()) {
      number = value->get<bool>() ? 1 : 0;
    } else if (value->is_number_unsigned()) {
      const auto big = value->get<std::uint64_t>();
      if (big > static_cast<std::uint64_t>(std::numeric_limits<Int>::max()))
        return out_of_range(key);
      number = static_cast<std::int64_t>(big);
    } else if (value->is_number_integer()) {
      number = value->get<std::int64_t>();
    } else {
      return fail(noted(
          "'" + std::string(python_type(*value)) + "' object cannot be interpreted as an integer",
          key));
    }
    if (number < static_cast<std::int64_t>(std::numeric_limits<Int>::min()) ||
        number > static_cast<std::int64_t>(std::numeric_limits<Int>::max())) {
      return out_of_range(key);
    }
    out = static_cast<Int>(number);
    return true;
  }

  bool texts(std::string_view key, std::optional<std::vector<std::string>>& out) {
    Json* value = find(key);
    if (value == nullptr || value->is_null()) return true;
    if (value->is_string()) return fail(noted("Can't extract `str` to `Vec`", key));
    if (!value->is_array()) return cannot_convert(*value, "Sequence", key);
    std::vector<std::string> items;
    items.reserve(value->size());
    for (Json& item : *value) {
      if (!item.is_string()) return cannot_convert(item, "str", key);
      items.push_back(std::move(item.get_ref<std::string&>()));
    }
    out = std::move(items);
    return true;
  }

  /// An image given as its URL or as the arguments of SEOImage.
  bool image(std::string_view key, std::optional<SEOImage>& out) {
    Json* value = find(key);
    if (value == nullptr || value->is_null()) return true;
    if (value->is_string()) {
      out.emplace().url = std::move(value->get_ref<std::string&>());
      return true;
    }
    if (!value->is_object()) return must_be(key, "a table or a URL", *value);
    Reader nested(value->get_ref<Object&>(), std::string(key));
    SEOImage& image = out.emplace();
    return adopt(nested, nested.arguments(kImage) && nested.text("url", image.url) &&
                             nested.integer("width", image.width) &&
                             nested.integer("height", image.height) &&
                             nested.text("alt", image.alt));
  }

  bool robots(std::optional<Robots>& out) {
    Json* value = find("robots");
    if (value == nullptr || value->is_null()) return true;
    if (!value->is_object()) return must_be("robots", "a table", *value);
    Reader nested(value->get_ref<Object&>(), "robots");
    Robots& robots = out.emplace();
    return adopt(nested, nested.arguments(kRobots) && nested.flag("index", robots.index) &&
                             nested.flag("follow", robots.follow) &&
                             nested.integer("max_snippet", robots.max_snippet) &&
                             nested.text("max_image_preview", robots.max_image_preview) &&
                             nested.integer("max_video_preview", robots.max_video_preview));
  }

  /// A list of two-text records (breadcrumbs, FAQ items).
  template <class Item>
  bool items(std::string_view key, const Constructor& ctor, std::string Item::*first,
             std::string Item::*second, std::optional<std::vector<Item>>& out) {
    Json* value = find(key);
    if (value == nullptr || value->is_null()) return true;
    if (!value->is_array()) return must_be(key, "a list", *value);
    std::vector<Item>& list = out.emplace();
    list.reserve(value->size());
    for (Json& item : *value) {
      const std::string where = std::string(key) + "[" + std::to_string(list.size()) + "]";
      if (!item.is_object()) return must_be(where, "a table", item);
      Reader nested(item.get_ref<Object&>(), where);
      Item& record = list.emplace_back();
      if (!adopt(nested, nested.arguments(ctor) && nested.text(ctor.params[0], record.*first) &&
                             nested.text(ctor.params[1], record.*second))) {
        return false;
      }
    }
    return true;
  }

  /// Any JSON value, moved out; null is "not given".
  void json(std::string_view key, std::optional<Json>& out) {
    Json* value = find(key);
    if (value != nullptr && !value->is_null()) out = std::move(*value);
  }

  /// Entity types are parsed after every argument is converted, as the
  /// constructor does.
  bool entity_type(const std::string& name, EntityType& out) {
    auto parsed = entity_type_from_str(name);
    if (!parsed) return fail(parsed.error().message());
    out = *parsed;
    return true;
  }

  [[nodiscard]] ZoretError error() && { return std::move(*error_); }

 private:
  bool fail(std::string message) {
    if (!where_.empty()) message = where_ + ": " + message;
    error_.emplace(ErrorKind::InvalidEntity, std::move(message));
    return false;
  }

  // Takes over what a nested record's reader found; `ok` is its verdict.
  bool adopt(Reader& nested, bool ok) {
    if (ok) return true;
    error_ = std::move(nested.error_);
    return false;
  }

  static std::string noted(std::string message, std::string_view key) {
    message += " (while processing '";
    message += key;
    message += "')";
    return message;
  }

  bool cannot_convert(const Json& value, std::string_view target, std::string_view key) {
    return fail(noted("'" + std::string(python_type(value)) + "' object cannot be converted to '" +
                          std::string(target) + "'",
                      key));
  }

  bool out_of_range(std::string_view key) {
    return fail(noted("out of range integral type conversion attempted", key));
  }

  // "featured_image must be a table or a URL, got int": about a value in this
  // record, so located by its key rather than by this record.
  bool must_be(std::string_view what, std::string_view shape, const Json& value) {
    std::string message(what);
    message += " must be ";
    message += shape;
    message += ", got ";
    message += python_type(value);
    const std::string where = std::exchange(where_, {});
    if (!where.empty()) message = where + ": " + message;
    error_.emplace(ErrorKind::InvalidEntity, std::move(message));
    where_ = where;
    return false;
  }

  Object& fields_;
  std::string where_;
  std::optional<ZoretError> error_;
};

ZoretError not_a_table(std::string_view what, const Json& form) {
  std::string message(what);
  message += " must be a table, got ";
  message += python_type(form);
  return ZoretError(ErrorKind::InvalidEntity, std::move(message));
}

}  // namespace

Result<SEOEntity> entity_from_form(Json&& form) {
  if (!form.is_object()) return not_a_table("the entity", form);
  Reader r(form.get_ref<Object&>(), {});
  SEOEntity e;
  std::string type_name;
  // The nested records first, then the constructor's own checks and conversions
  // in parameter order: the order of the Python reader.
  const bool ok =
      r.image("featured_image", e.featured_image) &&
      r.items("breadcrumbs", kBreadcrumb, &Breadcrumb::name, &Breadcrumb::url, e.breadcrumbs) &&
      r.items("faq_items", kFaqItem, &FAQItem::question, &FAQItem::answer, e.faq_items) &&
      r.arguments(kEntity) && r.text("entity_type", type_name) && r.text("slug", e.slug) &&
      r.text("title", e.title) && r.text("excerpt", e.excerpt) &&
      r.text("body_html", e.body_html) && r.text("status", e.status) &&
      r.text("published_at", e.published_at) && r.text("updated_at", e.updated_at) &&
      r.text("author_name", e.author_name) && r.text("sku", e.sku) && r.text("price", e.price) &&
      r.text("price_currency", e.price_currency) && r.text("availability", e.availability) &&
      r.texts("same_as", e.same_as) && r.text("address", e.address) &&
      r.entity_type(type_name, e.entity_type);
  if (!ok) return std::move(r).error();
  return e;
}

Result<SEOOverrides> overrides_from_form(Json&& form) {
  if (!form.is_object()) return not_a_table("the overrides", form);
  Reader r(form.get_ref<Object&>(), {});
  SEOOverrides o;
  const bool ok =
      r.robots(o.robots) && r.image("og_image", o.og_image) &&
      r.image("twitter_image", o.twitter_image) && r.arguments(kOverrides) &&
      r.text("meta_title", o.meta_title) && r.text("meta_description", o.meta_description) &&
      r.text("canonical_url", o.canonical_url) && r.text("canonical_path", o.canonical_path) &&
      r.text("og_title", o.og_title) && r.text("og_description", o.og_description) &&
      r.text("twitter_card", o.twitter_card) && r.text("twitter_title", o.twitter_title) &&
      r.text("twitter_description", o.twitter_description) &&
      r.flag("omit_schema", o.omit_schema) &&
      r.flag("skip_title_template", o.skip_title_template) &&
      r.text("twitter_creator", o.twitter_creator) && r.text("og_audio", o.og_audio) &&
      r.text("og_video", o.og_video);
  if (!ok) return std::move(r).error();
  r.json("schema_jsonld", o.schema_jsonld);
  return o;
}

}  // namespace zoret
