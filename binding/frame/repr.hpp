#pragma once

// Records describe their fields to a visitor, once, in constructor order:
//
//   template <class V> void describe(V& v, const SEOImage& image) {
//     v.positional("url", image.url);
//     v.keyword("width", image.width);
//     ...
//   }
//
// A visitor offers `positional(name, value)`, `keyword(name, value)`,
// `keyword_unless(name, value, default)` (left out when equal to the default),
// `keyword_if_set(name, optional)` (left out when absent) and `object(name, obj)`
// (an arbitrary Python object, nullptr for None, left out when None). The same
// description gives the repr (ReprWriter, below), the constructor arguments that
// pickling and copying pass (ArgsCollector, reduce.hpp) and the hash (value_hash.hpp),
// so the three cannot disagree about which fields a record has.

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/box.hpp"
#include "zoret/json.hpp"

namespace zoret::py {

/// Whether a record's repr is a constructor call (`SEOImage('/a.png', ...)`); the
/// records that only the module makes are shown as `<OGPayload type='article' ...>`.
template <class T>
inline constexpr bool kReprAsCall = true;

/// What a repr shows in full; longer values are cut, and the repr says by how much.
struct ReprLimits {
  /// Texts of more code points show their first `kTextShown` ones and their length.
  static constexpr std::size_t kText = 80;
  static constexpr std::size_t kTextShown = 60;
  /// Lists and JSON containers of more items show their first `kItemsShown` ones.
  static constexpr std::size_t kItems = 5;
  static constexpr std::size_t kItemsShown = 3;
  /// JSON containers nested deeper, and records nested deeper, show their size only.
  static constexpr std::size_t kJsonDepth = 3;
  static constexpr std::size_t kRecordDepth = 4;
};

/// Writes the repr of a described record. Python's own repr gives the quoting of
/// texts and the spelling of floats, so a short record's repr is its constructor
/// call, evaluable as written.
class ReprWriter {
 public:
  /// The repr of `record` as a new str, or nullptr with a Python error set.
  template <class T>
  static PyObject* repr(const T& record) {
    ReprWriter writer;
    writer.value(record);
    return writer.finish();
  }

  template <class T>
  void positional(const char* name, const T& v) {
    separator(as_call_ ? nullptr : name);
    value(v);
  }
  template <class T>
  void keyword(const char* name, const T& v) {
    separator(name);
    value(v);
  }
  template <class T, class D>
  void keyword_unless(const char* name, const T& v, const D& default_value) {
    if (!(v == default_value)) keyword(name, v);
  }
  template <class T>
  void keyword_if_set(const char* name, const T& v) {
    if (v) keyword(name, *v);
  }
  void object(const char* name, PyObject* obj);

  // Values, written in Python's literal syntax.
  void value(std::string_view text);
  void value(const std::string& text) { value(std::string_view(text)); }
  void value(bool v) { out_ += v ? "True" : "False"; }
  void value(std::uint32_t v) { out_ += std::to_string(v); }
  void value(std::int32_t v) { out_ += std::to_string(v); }
  void value(std::uint64_t v) { out_ += std::to_string(v); }
  void value(double v);
  void value(const Json& v) { json(v, 0); }
  template <class T>
  void value(const std::optional<T>& v) {
    if (v) {
      value(*v);
    } else {
      out_ += "None";
    }
  }
  template <class A, class B>
  void value(const std::pair<A, B>& v) {
    out_ += '(';
    value(v.first);
    out_ += ", ";
    value(v.second);
    out_ += ')';
  }
  template <class T>
  void value(const std::vector<T>& items) {
    out_ += '[';
    const std::size_t shown = shown_items(items.size());
    for (std::size_t i = 0; i < shown; ++i) {
      if (i > 0) out_ += ", ";
      value(items[i]);
    }
    more(items.size(), shown);
    out_ += ']';
  }
  /// A nested record, described by its own `describe`.
  template <class T>
    requires Boxed<T>
  void value(const T& record) {
    const bool as_call = kReprAsCall<T>;
    out_ += as_call ? "" : "<";
    out_ += kClassName<T>;
    if (record_depth_ >= ReprLimits::kRecordDepth) {
      out_ += as_call ? "(...)" : " ...>";
      return;
    }
    out_ += as_call ? "(" : "";
    const bool outer_call = std::exchange(as_call_, as_call);
    const bool outer_first = std::exchange(first_, true);
    ++record_depth_;
    describe(*this, record);
    --record_depth_;
    first_ = outer_first;
    as_call_ = outer_call;
    out_ += as_call ? ")" : ">";
  }

 private:
  ReprWriter() = default;
  static std::size_t shown_items(std::size_t size) {
    return size > ReprLimits::kItems ? ReprLimits::kItemsShown : size;
  }
  void separator(const char* name);
  void more(std::size_t size, std::size_t shown);
  void json(const Json& v, std::size_t depth);
  /// Appends the repr of `obj` (a new reference, or nullptr after a failure).
  void append_repr(PyObject* obj, bool cut);
  PyObject* finish();

  std::string out_;
  bool ok_ = true;
  bool first_ = true;
  bool as_call_ = true;
  std::size_t record_depth_ = 0;
};

}  // namespace zoret::py
