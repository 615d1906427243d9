#pragma once

// Finds where a member or element sits in JSON text that parsed, so that errors
// found in the parsed value can still name a line and column.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zoret::detail {

/// One step into a JSON value: a member key or an array index.
struct JsonStep {
  std::string key;
  std::size_t index = 0;
  bool is_index = false;
};

/// "rules[2].expect.title", with keys that are not plain names bracketed and
/// quoted: exceptions["/about"].
[[nodiscard]] std::string json_path_text(const std::vector<JsonStep>& path);

/// A 1-based line and byte column, counted like the JSON parser's errors.
struct TextPosition {
  std::size_t line = 1;
  std::size_t column = 1;
};

/// Where the value at `path` starts in `text`, or its member's key when
/// `at_key` is set and the last step is a key. A repeated key is found at its
/// last occurrence, the one the parser keeps. `text` must be JSON that
/// `parse_json` accepted; absent when the path is not in it.
[[nodiscard]] std::optional<TextPosition> locate_json_path(std::string_view text,
                                                           const std::vector<JsonStep>& path,
                                                           bool at_key);

}  // namespace zoret::detail
