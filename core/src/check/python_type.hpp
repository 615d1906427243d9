#pragma once

// Messages about manifest lines and record forms name a JSON value by the type
// Python would give it, as zoret.forms does for the same value in a dictionary.

#include <string_view>

#include "zoret/json/value.hpp"

namespace zoret::detail {

[[nodiscard]] inline std::string_view python_type(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "NoneType";
    case Json::value_t::boolean:
      return "bool";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "int";
    case Json::value_t::number_float:
      return "float";
    case Json::value_t::string:
      return "str";
    case Json::value_t::array:
      return "list";
    case Json::value_t::object:
      return "dict";
    default:
      return "object";
  }
}

}  // namespace zoret::detail
