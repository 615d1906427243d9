#include "zoret/json/value.hpp"

#include <cstdint>

namespace zoret {
namespace {

// Integers compare by value whichever of the two integer kinds holds them, so a
// Json(5) built without json_uint still equals json_uint(5).
bool integers_equal(const Json& a, const Json& b) {
  const bool a_signed = a.is_number_integer() && !a.is_number_unsigned();
  const bool b_signed = b.is_number_integer() && !b.is_number_unsigned();
  if (a_signed == b_signed) {
    return a_signed ? *a.get_ptr<const Json::number_integer_t*>() ==
                          *b.get_ptr<const Json::number_integer_t*>()
                    : *a.get_ptr<const Json::number_unsigned_t*>() ==
                          *b.get_ptr<const Json::number_unsigned_t*>();
  }
  const std::int64_t s = a_signed ? *a.get_ptr<const Json::number_integer_t*>()
                                  : *b.get_ptr<const Json::number_integer_t*>();
  const std::uint64_t u = a_signed ? *b.get_ptr<const Json::number_unsigned_t*>()
                                   : *a.get_ptr<const Json::number_unsigned_t*>();
  return s >= 0 && static_cast<std::uint64_t>(s) == u;
}

bool is_integer_kind(Json::value_t t) {
  return t == Json::value_t::number_integer || t == Json::value_t::number_unsigned;
}

// Within this depth emptying recurses; a deeper value is cleared by the library,
// which needs no call stack for it.
constexpr int kEmptyingDepth = 48;

void empty_below(Json& value, int depth) noexcept {
  if (auto* object = value.get_ptr<Json::object_t*>()) {
    if (depth < kEmptyingDepth) {
      for (auto& member : *object) {
        if (member.second.is_structured()) empty_below(member.second, depth + 1);
      }
    }
    object->clear();
  } else if (auto* array = value.get_ptr<Json::array_t*>()) {
    if (depth < kEmptyingDepth) {
      for (Json& element : *array) {
        if (element.is_structured()) empty_below(element, depth + 1);
      }
    }
    array->clear();
  }
}

}  // namespace

void empty_from_leaves(Json& value) noexcept { empty_below(value, 0); }

Json json_uint(std::uint64_t value) { return Json(value); }

Json json_int(std::int64_t value) {
  if (value < 0) return Json(value);
  return Json(static_cast<std::uint64_t>(value));
}

bool json_equal(const Json& a, const Json& b) noexcept {
  const auto type = a.type();
  if (type != b.type()) {
    return is_integer_kind(type) && is_integer_kind(b.type()) && integers_equal(a, b);
  }
  switch (type) {
    case Json::value_t::null:
      return true;
    case Json::value_t::boolean:
      return *a.get_ptr<const Json::boolean_t*>() == *b.get_ptr<const Json::boolean_t*>();
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return integers_equal(a, b);
    case Json::value_t::number_float:
      return *a.get_ptr<const Json::number_float_t*>() ==
             *b.get_ptr<const Json::number_float_t*>();
    case Json::value_t::string:
      return *a.get_ptr<const Json::string_t*>() == *b.get_ptr<const Json::string_t*>();
    case Json::value_t::array: {
      const auto& x = *a.get_ptr<const Json::array_t*>();
      const auto& y = *b.get_ptr<const Json::array_t*>();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) {
        if (!json_equal(x[i], y[i])) return false;
      }
      return true;
    }
    case Json::value_t::object: {
      const auto& x = *a.get_ptr<const Json::object_t*>();
      const auto& y = *b.get_ptr<const Json::object_t*>();
      if (x.size() != y.size()) return false;
      // Both maps iterate in key order, so equal objects line up entry by entry.
      for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j) {
        if (i->first != j->first || !json_equal(i->second, j->second)) return false;
      }
      return true;
    }
    case Json::value_t::binary:
      return *a.get_ptr<const Json::binary_t*>() == *b.get_ptr<const Json::binary_t*>();
    case Json::value_t::discarded:
      return false;
  }
  return false;
}

}  // namespace zoret
