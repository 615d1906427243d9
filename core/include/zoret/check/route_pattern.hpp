#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zoret {

/// The path of a route: everything before the first "?" or "#". Routes are
/// compared byte for byte; nothing is decoded or normalised.
[[nodiscard]] std::string_view route_path(std::string_view route) noexcept;

/// The `match` pattern of a contract rule, compiled once. `*` matches any run of
/// bytes without "/" (the empty run included), `**` (or any longer run of
/// stars) any run of bytes at all, and every other byte itself; a pattern
/// without stars matches exactly one path. So "/blog/*" matches "/blog/" and
/// "/blog/a" but not "/blog/a/b", and "/docs/**/intro" needs a segment between
/// the two slashes: it matches "/docs/a/intro" and "/docs//intro", not
/// "/docs/intro".
///
/// Every text is a pattern; one that can never match a route (no leading "/",
/// a "?" or "#") is reported by the contract lint, not refused here. Matching
/// runs the pattern as a bit-parallel automaton: time O(path length x pattern
/// length / 64), no backtracking, whatever the pattern.
class RoutePattern {
 public:
  explicit RoutePattern(std::string_view pattern);

  /// Whether `path` (a route path, see `route_path`) matches the whole pattern.
  /// Allocates only for patterns longer than 511 bytes.
  [[nodiscard]] bool matches(std::string_view path) const {
    if (path.size() < min_length_ || !path.starts_with(prefix_) || !path.ends_with(suffix_)) {
      return false;
    }
    switch (shape_) {
      case Shape::Exact: return path.size() == prefix_.size();
      case Shape::OneStar: return star_run_has_no_slash(path);
      case Shape::OneDoubleStar: return true;
      case Shape::General: break;
    }
    return matches_general(path);
  }

  [[nodiscard]] const std::string& text() const noexcept { return text_; }
  [[nodiscard]] bool has_wildcards() const noexcept { return shape_ != Shape::Exact; }

 private:
  enum class Shape : std::uint8_t { Exact, OneStar, OneDoubleStar, General };

  [[nodiscard]] bool star_run_has_no_slash(std::string_view path) const noexcept;
  [[nodiscard]] bool matches_general(std::string_view path) const;

  std::string text_;
  // The literal bytes before the first and after the last star, and the number
  // of literal bytes in all: a cheap first test that rejects most routes.
  std::string prefix_;
  std::string suffix_;
  std::size_t min_length_ = 0;
  Shape shape_ = Shape::Exact;

  // The automaton of the general shape. State i means "the first i tokens have
  // matched"; masks hold one bit per state, `words_` 64-bit words each.
  std::size_t words_ = 0;
  std::size_t accept_ = 0;
  std::uint16_t byte_class_[256] = {};
  std::vector<std::uint64_t> literal_targets_;  // per byte class: states a byte enters
  std::vector<std::uint64_t> stay_in_segment_;  // `*` states: loop on bytes but "/"
  std::vector<std::uint64_t> stay_anywhere_;    // `**` states: loop on every byte
  std::vector<std::uint64_t> star_states_;      // both: may also be skipped
};

}  // namespace zoret
