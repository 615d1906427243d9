#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/json.hpp"

namespace zoret {

/// What happens to a trailing "/" of a route path.
enum class TrailingSlash {
  Always,
  Never,
  Preserve,
};

/// Parses the caller-facing text: exactly "always", "never" or "preserve".
/// Returns nothing for any other text; the caller words its own error.
[[nodiscard]] std::optional<TrailingSlash> trailing_slash_from_str(std::string_view text) noexcept;

/// The form written in serialised records: "Always", "Never", "Preserve".
[[nodiscard]] std::string_view trailing_slash_serialized(TrailingSlash value) noexcept;

/// The site's rules for canonical URLs. The lists are kept exactly as given
/// (order, duplicates and case retained).
struct URLPolicy {
  bool enforce_https = true;
  bool lowercase_paths = false;
  TrailingSlash trailing_slash = TrailingSlash::Never;
  bool collapse_duplicate_slashes = true;
  bool strip_tracking_params = true;
  std::vector<std::string> allowed_query_params;
  std::vector<std::string> extra_tracking_params;
};

/// Serialised form: the seven fields in declaration order, `trailing_slash` in
/// its serialised form.
void write_json(JsonWriter& w, const URLPolicy& policy);

/// Normalises a route path under `policy`: trims Unicode White_Space, ensures a
/// leading "/", collapses runs of "/", lower-cases (full Unicode mapping) and
/// applies the trailing-slash rule, in that order. The text is opaque: "?" and
/// "#" are ordinary characters, nothing is percent-decoded and dot segments stay.
/// Cannot fail. `path` must be valid UTF-8.
[[nodiscard]] std::string normalize_path(std::string_view path, const URLPolicy& policy);

}  // namespace zoret
