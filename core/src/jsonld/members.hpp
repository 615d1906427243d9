#pragma once

#include <string_view>
#include <utility>

#include "zoret/json.hpp"

namespace zoret::detail {

/// Adds a member whose name sorts after every name already in `object`; the
/// builders list their members in that (byte) order. With the end as the hint the
/// map compares the name once instead of searching for its place, which mattered:
/// those searches were a tenth of a page build. A name out of order is still put
/// in its place, only more slowly.
template <class Value>
void add_last(Json::object_t& object, std::string_view name, Value&& value) {
  object.emplace_hint(object.end(), name, std::forward<Value>(value));
}

}  // namespace zoret::detail
