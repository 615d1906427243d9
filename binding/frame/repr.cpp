#include "frame/repr.hpp"

#include "frame/convert.hpp"
#include "frame/ref.hpp"

namespace zoret::py {
namespace {

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t code_point_count(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += is_continuation(c) ? 0 : 1;
  return count;
}

/// The byte length of the first `count` code points of `text`.
std::size_t code_point_prefix(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t seen = 0; end < text.size(); ++end) {
    if (!is_continuation(text[end]) && seen++ == count) break;
  }
  return end;
}

std::string cut_note(std::size_t length) {
  return "...(" + std::to_string(length) + " characters)";
}

}  // namespace

void ReprWriter::separator(const char* name) {
  if (!as_call_) {
    out_ += ' ';
  } else if (!first_) {
    out_ += ", ";
  }
  first_ = false;
  if (name != nullptr) {
    out_ += name;
    out_ += '=';
  }
}

void ReprWriter::more(std::size_t size, std::size_t shown) {
  if (shown == size) return;
  if (shown > 0) out_ += ", ";
  out_ += "...(" + std::to_string(size - shown) + " more)";
}

void ReprWriter::append_repr(PyObject* fresh, bool cut) {
  Ref repr = Ref::steal(fresh);
  if (!ok_) return;
  Py_ssize_t size = 0;
  const char* text = repr ? PyUnicode_AsUTF8AndSize(repr.get(), &size) : nullptr;
  if (text == nullptr) {
    ok_ = false;
    return;
  }
  const std::string_view shown(text, static_cast<std::size_t>(size));
  const std::size_t length = cut ? code_point_count(shown) : 0;
  if (length <= ReprLimits::kText) {
    out_ += shown;
    return;
  }
  out_ += shown.substr(0, code_point_prefix(shown, ReprLimits::kTextShown));
  out_ += cut_note(length);
}

void ReprWriter::value(std::string_view text) {
  if (!ok_) return;
  const std::size_t length = code_point_count(text);
  const bool cut = length > ReprLimits::kText;
  // Cut before quoting, so that the shown part keeps its closing quote.
  const std::string_view shown =
      cut ? text.substr(0, code_point_prefix(text, ReprLimits::kTextShown)) : text;
  Ref str = Ref::steal(
      PyUnicode_DecodeUTF8(shown.data(), static_cast<Py_ssize_t>(shown.size()), "replace"));
  append_repr(str ? PyObject_Repr(str.get()) : nullptr, false);
  if (cut) out_ += cut_note(length);
}

void ReprWriter::value(double v) {
  if (!ok_) return;
  Ref number = Ref::steal(PyFloat_FromDouble(v));
  append_repr(number ? PyObject_Repr(number.get()) : nullptr, false);
}

void ReprWriter::object(const char* name, PyObject* obj) {
  if (obj == nullptr || !ok_) return;
  separator(name);
  // Whatever the object's repr holds (another repr of this record, even) is cut too.
  append_repr(PyObject_Repr(obj), true);
}

void ReprWriter::json(const Json& v, std::size_t depth) {
  switch (v.type()) {
    case Json::value_t::boolean:
      value(v.get<bool>());
      return;
    case Json::value_t::number_unsigned:
      out_ += std::to_string(v.get<std::uint64_t>());
      return;
    case Json::value_t::number_integer:
      out_ += std::to_string(v.get<std::int64_t>());
      return;
    case Json::value_t::number_float:
      value(v.get<double>());
      return;
    case Json::value_t::string:
      value(std::string_view(v.get_ref<const std::string&>()));
      return;
    case Json::value_t::array:
    case Json::value_t::object:
      break;
    default:
      out_ += "None";
      return;
  }
  const bool is_array = v.is_array();
  const std::size_t size = v.size();
  if (depth >= ReprLimits::kJsonDepth && size > 0) {
    const char* what = is_array ? (size == 1 ? " item)]" : " items)]")
                                : (size == 1 ? " entry)}" : " entries)}");
    out_ += is_array ? "[...(" : "{...(";
    out_ += std::to_string(size);
    out_ += what;
    return;
  }
  out_ += is_array ? '[' : '{';
  const std::size_t shown = shown_items(size);
  std::size_t i = 0;
  for (auto it = v.begin(); i < shown; ++it, ++i) {
    if (i > 0) out_ += ", ";
    if (!is_array) {
      value(std::string_view(it.key()));
      out_ += ": ";
    }
    json(*it, depth + 1);
  }
  more(size, shown);
  out_ += is_array ? ']' : '}';
}

PyObject* ReprWriter::finish() { return ok_ ? to_py(std::string_view(out_)) : nullptr; }

}  // namespace zoret::py
