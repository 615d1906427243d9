#include "zoret/url/policy.hpp"

#include "zoret/unicode.hpp"

namespace zoret {

std::optional<TrailingSlash> trailing_slash_from_str(std::string_view text) noexcept {
  if (text == "always") return TrailingSlash::Always;
  if (text == "never") return TrailingSlash::Never;
  if (text == "preserve") return TrailingSlash::Preserve;
  return std::nullopt;
}

std::string_view trailing_slash_serialized(TrailingSlash value) noexcept {
  switch (value) {
    case TrailingSlash::Always: return "Always";
    case TrailingSlash::Never: return "Never";
    case TrailingSlash::Preserve: return "Preserve";
  }
  return "";
}

void write_json(JsonWriter& w, const URLPolicy& policy) {
  w.begin_object();
  w.field("enforce_https", policy.enforce_https);
  w.field("lowercase_paths", policy.lowercase_paths);
  w.field("trailing_slash", trailing_slash_serialized(policy.trailing_slash));
  w.field("collapse_duplicate_slashes", policy.collapse_duplicate_slashes);
  w.field("strip_tracking_params", policy.strip_tracking_params);
  w.field("allowed_query_params", policy.allowed_query_params);
  w.field("extra_tracking_params", policy.extra_tracking_params);
  w.end_object();
}

std::string normalize_path(std::string_view path, const URLPolicy& policy) {
  const std::string_view trimmed = trim_white_space(path);

  std::string out;
  // Room for the leading and the trailing slash that may be added.
  out.reserve(trimmed.size() + 2);
  if (trimmed.empty() || trimmed.front() != '/') out += '/';
  if (policy.collapse_duplicate_slashes) {
    for (char c : trimmed) {
      if (c == '/' && !out.empty() && out.back() == '/') continue;
      out += c;
    }
  } else {
    out += trimmed;
  }

  // Lower-casing never creates or removes a "/", so it can run after collapsing.
  if (policy.lowercase_paths) out = to_lower_full(out);

  switch (policy.trailing_slash) {
    case TrailingSlash::Always:
      if (out.back() != '/') out += '/';
      break;
    case TrailingSlash::Never: {
      // A path made only of slashes (reachable with collapsing off) would come
      // out empty; it keeps one slash instead, like the root itself.
      const auto last = out.find_last_not_of('/');
      out.resize(last == std::string::npos ? 1 : last + 1);
      break;
    }
    case TrailingSlash::Preserve:
      break;
  }
  return out;
}

}  // namespace zoret
