#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zoret::detail {

/// One "&"-separated piece of a query, as raw (still percent-encoded) text.
struct QueryPair {
  std::string_view text;                 ///< The whole piece, possibly empty.
  std::string_view raw_key;              ///< Up to the first "=", or all of it.
  std::optional<std::string_view> value; ///< After the first "="; absent without one.
};

/// Calls `visit(pair)` for every piece of `query` (without its "?") split at "&",
/// in order, empty pieces included: "" is one empty piece, "a&" two.
template <class Visit>
void for_each_query_pair(std::string_view query, Visit&& visit) {
  for (std::size_t start = 0;;) {
    const std::size_t amp = query.find('&', start);
    const std::string_view text =
        query.substr(start, amp == std::string_view::npos ? std::string_view::npos : amp - start);
    const std::size_t eq = text.find('=');
    QueryPair pair{.text = text, .raw_key = text.substr(0, eq), .value = std::nullopt};
    if (eq != std::string_view::npos) pair.value = text.substr(eq + 1);
    visit(pair);
    if (amp == std::string_view::npos) return;
    start = amp + 1;
  }
}

/// Appends the pieces that `keep(pair)` accepts to `out`, joined with "&", each
/// byte for byte.
template <class Keep>
void append_kept_pairs(std::string& out, std::string_view query, Keep&& keep) {
  bool first = true;
  for_each_query_pair(query, [&](const QueryPair& pair) {
    if (!keep(pair)) return;
    if (!first) out += '&';
    out += pair.text;
    first = false;
  });
}

}  // namespace zoret::detail
