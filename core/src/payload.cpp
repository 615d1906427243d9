#include "zoret/payload.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace zoret {
namespace {

// Each record's fields are listed once, in declaration order, and every form
// (field-by-field text, dictionary, reading back) walks that list, so the forms
// cannot drift apart. `Og` / `Tw` may be const (writing) or not (reading).
template <class Og, class F>
  requires std::is_same_v<std::remove_const_t<Og>, OGPayload>
void visit_fields(Og& og, F&& f) {
  f("type", og.type);
  f("title", og.title);
  f("description", og.description);
  f("url", og.url);
  f("image", og.image);
  f("image_width", og.image_width);
  f("image_height", og.image_height);
  f("image_alt", og.image_alt);
  f("site_name", og.site_name);
  f("locale", og.locale);
  f("locale_alternate", og.locale_alternate);
  f("audio", og.audio);
  f("video", og.video);
}
constexpr std::size_t kOgFieldCount = 13;

template <class Tw, class F>
  requires std::is_same_v<std::remove_const_t<Tw>, TwitterPayload>
void visit_fields(Tw& twitter, F&& f) {
  f("card", twitter.card);
  f("title", twitter.title);
  f("description", twitter.description);
  f("image", twitter.image);
  f("image_alt", twitter.image_alt);
  f("site", twitter.site);
  f("creator", twitter.creator);
}
constexpr std::size_t kTwitterFieldCount = 7;

template <class Record>
constexpr std::string_view struct_name() {
  if constexpr (std::is_same_v<Record, OGPayload>) {
    return "struct OGPayload";
  } else {
    return "struct TwitterPayload";
  }
}

template <class Record>
constexpr std::string_view required_field() {
  return std::is_same_v<Record, OGPayload> ? "type" : "card";
}

template <class Record>
constexpr std::size_t field_count() {
  return std::is_same_v<Record, OGPayload> ? kOgFieldCount : kTwitterFieldCount;
}

// The seven member names of the top level; an `extra` entry under one of them
// would give the JSON text a duplicate key, so both forms leave such entries out.
bool is_known_member(std::string_view name) {
  return name == "title" || name == "description" || name == "canonical" ||
         name == "robots" || name == "og" || name == "twitter" || name == "schema_jsonld";
}

struct FieldCollector {
  Json::object_t& members;

  void operator()(std::string_view name, const std::string& v) const {
    members.emplace(name, Json(v));
  }
  void operator()(std::string_view name, const std::optional<std::string>& v) const {
    if (v) members.emplace(name, Json(*v));
  }
  void operator()(std::string_view name, const std::optional<std::uint32_t>& v) const {
    if (v) members.emplace(name, json_uint(*v));
  }
  void operator()(std::string_view name,
                  const std::optional<std::vector<std::string>>& v) const {
    if (!v) return;
    Json items = Json::array();
    auto& array = *items.get_ptr<Json::array_t*>();
    array.reserve(v->size());
    for (const auto& item : *v) array.emplace_back(item);
    members.emplace(name, std::move(items));
  }
};

template <class Record>
Json record_dict(const Record& record) {
  Json out = Json::object();
  visit_fields(record, FieldCollector{*out.get_ptr<Json::object_t*>()});
  return out;
}

// from_dict's messages keep the wording that callers of the dictionary interface
// already match on ("invalid type: integer `5`, expected a string").
void append_code_point_escape(std::string& out, unsigned value) {
  char buf[8];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
  out += "\\u{";
  out.append(buf, res.ptr);
  out += '}';
}

// The text in double quotes, escaped the way a debug rendering shows it:
// quote, backslash and the common control escapes, other control characters
// (C0, DEL, C1) as \u{hex}, everything else as it is.
void append_debug_string(std::string& out, std::string_view s) {
  out += '"';
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      case '\0': out += "\\0"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      append_code_point_escape(out, c);
    } else if (c == 0xC2 && i + 1 < s.size() &&
               static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
      append_code_point_escape(out, static_cast<unsigned char>(s[i + 1]));
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void append_description(std::string& out, const Json& found) {
  switch (found.type()) {
    case Json::value_t::null:
      out += "unit value";
      return;
    case Json::value_t::boolean:
      out += *found.get_ptr<const Json::boolean_t*>() ? "boolean `true`" : "boolean `false`";
      return;
    case Json::value_t::number_unsigned:
    case Json::value_t::number_integer:
      out += "integer `";
      append_json_compact(out, found);
      out += '`';
      return;
    case Json::value_t::number_float: {
      const double value = *found.get_ptr<const Json::number_float_t*>();
      out += "floating point `";
      if (std::isnan(value)) {
        out += "NaN";
      } else if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
      } else {
        append_json_double(out, value);
      }
      out += '`';
      return;
    }
    case Json::value_t::string:
      out += "string ";
      append_debug_string(out, *found.get_ptr<const Json::string_t*>());
      return;
    case Json::value_t::array:
      out += "sequence";
      return;
    case Json::value_t::object:
      out += "map";
      return;
    case Json::value_t::binary:
      out += "byte array";
      return;
    case Json::value_t::discarded:
      out += "unit value";
      return;
  }
}

ZoretError mismatch(std::string_view what, const Json& found, std::string_view expected) {
  std::string message(what);
  append_description(message, found);
  message += ", expected ";
  message += expected;
  return ZoretError(ErrorKind::Serialization, std::move(message));
}

ZoretError invalid_type(const Json& found, std::string_view expected) {
  return mismatch("invalid type: ", found, expected);
}

ZoretError missing_field(std::string_view name) {
  std::string message = "missing field `";
  message += name;
  message += '`';
  return ZoretError(ErrorKind::Serialization, std::move(message));
}

Result<void> read_field(const Json& v, std::string& out) {
  const auto* text = v.get_ptr<const Json::string_t*>();
  if (!text) return invalid_type(v, "a string");
  out = *text;
  return {};
}

Result<void> read_field(const Json& v, std::optional<std::string>& out) {
  if (v.is_null()) {
    out.reset();
    return {};
  }
  std::string text;
  if (auto r = read_field(v, text); !r) return r;
  out = std::move(text);
  return {};
}

Result<void> read_field(const Json& v, std::optional<std::uint32_t>& out) {
  constexpr std::string_view kU32 = "u32";
  if (v.is_null()) {
    out.reset();
    return {};
  }
  if (v.is_number_unsigned()) {
    const auto value = *v.get_ptr<const Json::number_unsigned_t*>();
    if (value > std::numeric_limits<std::uint32_t>::max()) {
      return mismatch("invalid value: ", v, kU32);
    }
    out = static_cast<std::uint32_t>(value);
    return {};
  }
  if (v.is_number_integer()) {
    // A signed holder normally means a negative value, but a caller may have
    // built a non-negative one as signed too.
    const auto value = *v.get_ptr<const Json::number_integer_t*>();
    if (value < 0 || value > std::int64_t{std::numeric_limits<std::uint32_t>::max()}) {
      return mismatch("invalid value: ", v, kU32);
    }
    out = static_cast<std::uint32_t>(value);
    return {};
  }
  return invalid_type(v, kU32);
}

Result<void> read_field(const Json& v, std::optional<std::vector<std::string>>& out) {
  if (v.is_null()) {
    out.reset();
    return {};
  }
  const auto* items = v.get_ptr<const Json::array_t*>();
  if (!items) return invalid_type(v, "a sequence");
  std::vector<std::string> texts;
  texts.reserve(items->size());
  for (const auto& item : *items) {
    texts.emplace_back();
    if (auto r = read_field(item, texts.back()); !r) return r;
  }
  out = std::move(texts);
  return {};
}

// Reads the one field picked by name (object form) or by position (array
// form); `hit` tells which field that was, if any.
struct FieldReader {
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

  const Json& value;
  std::optional<std::string_view> name = std::nullopt;
  std::size_t index = kNone;
  std::size_t position = 0;
  std::size_t hit = kNone;
  std::optional<ZoretError> error = std::nullopt;

  template <class T>
  void operator()(std::string_view field, T& out) {
    const std::size_t here = position++;
    if (hit != kNone || (name ? field != *name : here != index)) return;
    hit = here;
    if (auto r = read_field(value, out); !r) error = std::move(r).error();
  }
};

// Both nested records accept an object (unknown keys ignored, the first field
// required, the rest optional) or an array of exactly one element per field.
template <class Record>
Result<Record> read_record(const Json& value) {
  Record record;
  if (const auto* items = value.get_ptr<const Json::array_t*>()) {
    if (items->size() != field_count<Record>()) {
      std::string message = "invalid length ";
      message += std::to_string(items->size());
      message += ", expected ";
      message += struct_name<Record>();
      message += " with ";
      message += std::to_string(field_count<Record>());
      message += " elements";
      return ZoretError(ErrorKind::Serialization, std::move(message));
    }
    for (std::size_t i = 0; i < items->size(); ++i) {
      FieldReader reader{.value = (*items)[i], .index = i};
      visit_fields(record, reader);
      if (reader.error) return *std::move(reader.error);
    }
    return record;
  }
  const auto* members = value.get_ptr<const Json::object_t*>();
  if (!members) return invalid_type(value, struct_name<Record>());
  bool has_required = false;
  for (const auto& [key, member] : *members) {
    FieldReader reader{.value = member, .name = key};
    visit_fields(record, reader);
    if (reader.error) return *std::move(reader.error);
    if (reader.hit == 0) has_required = true;
  }
  if (!has_required) return missing_field(required_field<Record>());
  return record;
}

}  // namespace

bool operator==(const SEOPayload& a, const SEOPayload& b) {
  if (a.title != b.title || a.description != b.description || a.canonical != b.canonical ||
      a.robots != b.robots || a.og != b.og || a.twitter != b.twitter) {
    return false;
  }
  if (a.schema_jsonld.has_value() != b.schema_jsonld.has_value()) return false;
  if (a.schema_jsonld && !json_equal(*a.schema_jsonld, *b.schema_jsonld)) return false;
  if (a.extra.size() != b.extra.size()) return false;
  for (auto i = a.extra.begin(), j = b.extra.begin(); i != a.extra.end(); ++i, ++j) {
    if (i->first != j->first || !json_equal(i->second, j->second)) return false;
  }
  return true;
}

void write_json(JsonWriter& writer, const OGPayload& og) {
  writer.begin_object();
  visit_fields(og, [&](std::string_view name, const auto& v) { writer.field(name, v); });
  writer.end_object();
}

void write_json(JsonWriter& writer, const TwitterPayload& twitter) {
  writer.begin_object();
  visit_fields(twitter, [&](std::string_view name, const auto& v) { writer.field(name, v); });
  writer.end_object();
}

namespace {

// `write_jsonld()` writes the "schema_jsonld" member when there is one.
template <class WriteJsonld>
void write_payload(JsonWriter& writer, const SEOPayload& payload, WriteJsonld&& write_jsonld) {
  writer.begin_object();
  writer.field("title", payload.title);
  writer.field("description", payload.description);
  writer.field("canonical", payload.canonical);
  writer.field("robots", payload.robots);
  writer.field("og", payload.og);
  writer.field("twitter", payload.twitter);
  write_jsonld();
  for (const auto& [name, value] : payload.extra) {
    if (!is_known_member(name)) writer.field(name, value);
  }
  writer.end_object();
}

}  // namespace

void write_json(JsonWriter& writer, const SEOPayload& payload) {
  write_payload(writer, payload, [&] { writer.field("schema_jsonld", payload.schema_jsonld); });
}

std::size_t write_compact_around_jsonld(std::string& out, const SEOPayload& payload) {
  JsonWriter writer(out, /*pretty=*/false);
  std::size_t at = std::string::npos;
  write_payload(writer, payload, [&] {
    if (!payload.schema_jsonld) return;
    writer.key("schema_jsonld");
    at = writer.size();
    writer.compact_value({});
  });
  return at;
}

void write_json(JsonWriter& writer, const SEOPayload& payload, std::string_view jsonld) {
  write_payload(writer, payload, [&] {
    if (!payload.schema_jsonld) return;
    writer.key("schema_jsonld");
    writer.compact_value(jsonld);
  });
}

SEOPayload::~SEOPayload() {
  if (schema_jsonld) empty_from_leaves(*schema_jsonld);
}

Json SEOPayload::to_dict() const {
  Json out = to_dict_without_jsonld();
  if (schema_jsonld) out.get_ptr<Json::object_t*>()->emplace("schema_jsonld", *schema_jsonld);
  return out;
}

Json SEOPayload::to_dict_without_jsonld() const {
  Json out = Json::object();
  auto& members = *out.get_ptr<Json::object_t*>();
  for (const auto& [name, value] : extra) {
    if (!is_known_member(name)) members.emplace(name, value);
  }
  members.emplace("title", title);
  members.emplace("description", description);
  members.emplace("canonical", canonical);
  members.emplace("robots", robots);
  members.emplace("og", record_dict(og));
  members.emplace("twitter", record_dict(twitter));
  return out;
}

namespace {
// The six members every dictionary form has, in ascending order.
constexpr std::string_view kAlwaysPresent[] = {"canonical", "description", "og",
                                               "robots",    "title",       "twitter"};
}  // namespace

std::vector<std::string_view> SEOPayload::dict_keys() const {
  std::vector<std::string_view> fixed(std::begin(kAlwaysPresent), std::end(kAlwaysPresent));
  if (schema_jsonld) fixed.insert(fixed.begin() + 4, "schema_jsonld");
  std::vector<std::string_view> keys;
  keys.reserve(fixed.size() + extra.size());
  auto next_fixed = fixed.begin();
  for (const auto& entry : extra) {
    const std::string_view name = entry.first;
    if (is_known_member(name)) continue;
    while (next_fixed != fixed.end() && *next_fixed < name) keys.push_back(*next_fixed++);
    keys.push_back(name);
  }
  keys.insert(keys.end(), next_fixed, fixed.end());
  return keys;
}

bool SEOPayload::dict_has(std::string_view name) const {
  if (name == "schema_jsonld") return schema_jsonld.has_value();
  if (is_known_member(name)) return true;
  return extra.find(std::string(name)) != extra.end();
}

Json to_dict(const OGPayload& og) { return record_dict(og); }
Json to_dict(const TwitterPayload& twitter) { return record_dict(twitter); }

Result<SEOPayload> SEOPayload::from_dict(const Json& value) {
  const auto* members = value.get_ptr<const Json::object_t*>();
  if (!members) return invalid_type(value, "struct SEOPayload");

  SEOPayload payload;
  // Bits in the order in which a missing field is reported.
  constexpr unsigned kTitle = 1;
  constexpr unsigned kDescription = 2;
  constexpr unsigned kCanonical = 4;
  constexpr unsigned kRobots = 8;
  constexpr unsigned kOg = 16;
  constexpr unsigned kTwitter = 32;
  unsigned seen = 0;
  // Members are checked in key order and a wrong type is reported as soon as it
  // is met; missing fields are only known once every member has been looked at.
  for (const auto& [key, member] : *members) {
    Result<void> read;
    if (key == "title") {
      read = read_field(member, payload.title);
      seen |= kTitle;
    } else if (key == "description") {
      read = read_field(member, payload.description);
      seen |= kDescription;
    } else if (key == "canonical") {
      read = read_field(member, payload.canonical);
      seen |= kCanonical;
    } else if (key == "robots") {
      read = read_field(member, payload.robots);
      seen |= kRobots;
    } else if (key == "og") {
      auto og = read_record<OGPayload>(member);
      if (!og) return std::move(og).error();
      payload.og = *std::move(og);
      seen |= kOg;
    } else if (key == "twitter") {
      auto twitter = read_record<TwitterPayload>(member);
      if (!twitter) return std::move(twitter).error();
      payload.twitter = *std::move(twitter);
      seen |= kTwitter;
    } else if (key == "schema_jsonld") {
      if (!member.is_null()) payload.schema_jsonld = member;
    } else {
      payload.extra.emplace(key, member);
    }
    if (!read) return std::move(read).error();
  }

  constexpr std::pair<unsigned, std::string_view> kRequired[] = {
      {kTitle, "title"}, {kDescription, "description"}, {kCanonical, "canonical"},
      {kRobots, "robots"}, {kOg, "og"},                 {kTwitter, "twitter"},
  };
  for (const auto& [bit, name] : kRequired) {
    if (!(seen & bit)) return missing_field(name);
  }
  return payload;
}

}  // namespace zoret
