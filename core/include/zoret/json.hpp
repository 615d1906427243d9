#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "zoret/result.hpp"

namespace zoret {

/// The JSON value of the system. Objects are `std::map`s, so keys are unique and
/// iterate in ascending byte order. Numbers are held as exactly one of: unsigned
/// 64-bit (every non-negative integer), signed 64-bit (negative integers only) or
/// double. Build integers with `json_int` / `json_uint` to keep that invariant.
using Json = nlohmann::json;

/// Nesting that the parser refuses: 128 levels of arrays/objects or more.
inline constexpr int kMaxParseDepth = 128;

[[nodiscard]] Json json_uint(std::uint64_t value);
/// A negative value is held signed, any other value unsigned.
[[nodiscard]] Json json_int(std::int64_t value);

/// Structural equality in which numbers are equal only when held the same way
/// with the same value: 1 and 1.0 differ.
[[nodiscard]] bool json_equal(const Json& a, const Json& b) noexcept;

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

/// Strict RFC 8259 parser. Later duplicate keys replace earlier ones; integers
/// that fit neither 64-bit range become the nearest double; nesting of
/// `kMaxParseDepth` levels or more is refused. On failure: kind Serialization with
/// a message "<description> at line L column C", e.g. "expected value at line 1
/// column 1" or "recursion limit exceeded at line 1 column 128".
[[nodiscard]] Result<Json> parse_json(std::string_view text);

/// Streams a record field by field (declaration order, not sorted) in either the
/// compact or the pretty layout, so that records need not be built as `Json`
/// values first. Keys must be written before each member value.
class JsonWriter {
 public:
  JsonWriter(std::string& out, bool pretty) : out_(out), pretty_(pretty) {}

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

  /// One member of a record written field by field: texts as strings, integers,
  /// booleans, lists as arrays, JSON values as they are, and records through their
  /// `write_json` overload. An absent optional member is left out, never null.
  template <class T>
  void field(std::string_view name, const T& v);

 private:
  void before_value();
  void newline_indent();

  std::string& out_;
  bool pretty_;
  int level_ = 0;
  bool first_in_container_ = true;
  bool after_key_ = false;
};

namespace detail {

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};
template <class T>
struct is_vector : std::false_type {};
template <class T>
struct is_vector<std::vector<T>> : std::true_type {};

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
  } else if constexpr (is_vector<T>::value) {
    w.begin_array();
    for (const auto& item : v) write_field_value(w, item);
    w.end_array();
  } else {
    write_json(w, v);  // a record, found through argument-dependent lookup
  }
}

}  // namespace detail

template <class T>
void JsonWriter::field(std::string_view name, const T& v) {
  if constexpr (detail::is_optional<T>::value) {
    if (v) field(name, *v);
  } else {
    key(name);
    detail::write_field_value(*this, v);
  }
}

}  // namespace zoret
