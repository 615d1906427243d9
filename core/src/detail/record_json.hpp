#pragma once

// Member writers shared by the serialised forms of the input records.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/json.hpp"

namespace zoret::detail {

inline void write_string_array(JsonWriter& w, const std::vector<std::string>& items) {
  w.begin_array();
  for (const auto& item : items) w.string(item);
  w.end_array();
}

/// Absent members are left out, never written as null.
inline void write_optional_string(JsonWriter& w, std::string_view name,
                                  const std::optional<std::string>& value) {
  if (!value) return;
  w.key(name);
  w.string(*value);
}

inline void write_optional_string_array(JsonWriter& w, std::string_view name,
                                        const std::optional<std::vector<std::string>>& value) {
  if (!value) return;
  w.key(name);
  write_string_array(w, *value);
}

}  // namespace zoret::detail
