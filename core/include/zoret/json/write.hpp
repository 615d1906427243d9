#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "zoret/detail/text_cursor.hpp"
#include "zoret/json/value.hpp"

namespace zoret {

/// Appends `s` as a JSON string literal: quote, backslash and control characters
/// escaped (\b \f \n \r \t, others as \u00xx), everything else (including "/" and
/// non-ASCII) copied as is.
void append_json_string(std::string& out, std::string_view s);

/// Appends the shortest digit string that reads back to `value`: plain notation
/// when the decimal exponent lies in -5..15 (integral values keep ".0"), else
/// exponent notation such as 1e+16 or 1.5e-7. Non-finite values are written null.
void append_json_double(std::string& out, double value);

/// Compact text (no whitespace at all).
void append_json_compact(std::string& out, const Json& value);
[[nodiscard]] std::string to_json_compact(const Json& value);

/// Two-space indented text, one member or element per line, ": " after keys,
/// "{}" / "[]" for empty containers, no final newline. `level` is the indentation
/// level the value starts at (used when a value is nested in a streamed record).
void append_json_pretty(std::string& out, const Json& value, int level = 0);
[[nodiscard]] std::string to_json_pretty_text(const Json& value);

/// Appends `compact`, text that `append_json_compact` wrote, in the layout
/// `append_json_pretty(out, value, level)` gives the same value, byte for byte.
/// A value written once can so be handed out in both layouts; walking text
/// costs far less than walking the value a second time. Other input (any
/// whitespace outside strings) is copied through, not checked.
void append_json_reindented(std::string& out, std::string_view compact, int level = 0);

/// Streams a record field by field (declaration order, not sorted) in either the
/// compact or the pretty layout, so that records need not be built as `Json`
/// values first. Keys must be written before each member value. The writer holds
/// unwritten room at the end of `out` while it lives: `out` is whole again once
/// the writer is gone or `close` is called (see `append_record_json`).
class JsonWriter {
 public:
  JsonWriter(std::string& out, bool pretty) noexcept : cursor_(out), pretty_(pretty) {}
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;
  ~JsonWriter() { cursor_.close(); }

  /// Cuts `out` back to what was written, so that it may be read; writing may go on.
  void close() { cursor_.close(); }
  /// The length `out` has once closed: where the next byte goes.
  [[nodiscard]] std::size_t size() const noexcept { return cursor_.size(); }

  void begin_object();
  void end_object();
  void begin_array();
  void end_array();
  void key(std::string_view name);

  void null();
  void boolean(bool v);
  void string(std::string_view v);
  void uint(std::uint64_t v);
  void integer(std::int64_t v);
  void value(const Json& v);
  /// A value given as compact text (see `append_json_reindented`).
  void compact_value(std::string_view compact);

  /// One member of a record written field by field: texts as strings, integers,
  /// booleans, lists as arrays, JSON values as they are, and records through their
  /// `write_json` overload. An absent optional member is left out, never null.
  template <class T>
  void field(std::string_view name, const T& v);

 private:
  /// The comma before all but the first item of a container and, in the pretty
  /// layout, the line break and indentation of the item (nothing after a key).
  void before_value();
  void close_container(char bracket);

  detail::TextCursor cursor_;
  bool pretty_;
  int level_ = 0;
  bool first_in_container_ = true;
  bool after_key_ = false;
};

namespace detail {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

template <class T>
void write_field_value(JsonWriter& w, const T& v) {
  if constexpr (std::is_same_v<T, bool>) {
    w.boolean(v);
  } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
    w.uint(v);
  } else if constexpr (std::is_integral_v<T>) {
    w.integer(v);
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    w.string(v);
  } else if constexpr (std::is_same_v<T, Json>) {
    w.value(v);
  } else if constexpr (IsVector<T>::value) {
    w.begin_array();
    for (const auto& item : v) write_field_value(w, item);
    w.end_array();
  } else {
    write_json(w, v);  // a record, found through argument-dependent lookup
  }
}

}  // namespace detail

/// Appends `record`'s text as its `write_json` overload streams it.
template <class Record>
void append_record_json(std::string& out, const Record& record, bool pretty) {
  JsonWriter writer(out, pretty);
  write_json(writer, record);
}

template <class T>
void JsonWriter::field(std::string_view name, const T& v) {
  if constexpr (detail::IsOptional<T>::value) {
    if (v) field(name, *v);
  } else {
    key(name);
    detail::write_field_value(*this, v);
  }
}

}  // namespace zoret
