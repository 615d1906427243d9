#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "zoret/url/policy.hpp"

namespace zoret {

/// A policy's query rules made ready for many queries: the allow list and the
/// extra tracking names become hash sets once, so filtering a query of N pairs
/// costs O(N) whatever the lengths of the lists.
class QueryFilter {
 public:
  /// Copies what it needs from `policy`; the filter does not refer to it later.
  explicit QueryFilter(const URLPolicy& policy);

  /// The query pairs (split at "&") that the policy keeps, joined with "&" in their
  /// order and never re-encoded. Pairs with an empty raw key are always dropped; a
  /// non-empty allow list keeps exactly the pairs whose decoded key it names;
  /// otherwise tracking parameters (built-in names and the extra ones, ASCII
  /// letters in any case) go when `strip_tracking_params` is set.
  [[nodiscard]] std::string apply(std::string_view query) const;

  /// Whether a pair whose raw key decodes to `key` (non-empty) is kept.
  [[nodiscard]] bool keeps(std::string_view key) const;

 private:
  struct Hash {
    using is_transparent = void;  // NOLINT(readability-identifier-naming): the standard's name
    std::size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>{}(s);
    }
  };
  using NameSet = std::unordered_set<std::string, Hash, std::equal_to<>>;

  NameSet allowed_;               // exact decoded names
  NameSet extra_tracking_;        // ASCII letters lower-cased
  bool strip_tracking_ = false;
};

/// `QueryFilter(policy).apply(query)`.
[[nodiscard]] std::string filter_query(std::string_view query, const URLPolicy& policy);

}  // namespace zoret
