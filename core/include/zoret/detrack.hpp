#pragma once

#include <array>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zoret {

/// Query parameter names that only serve click tracking or carry a session,
/// matched by whole name, ASCII letters in any case. Every name is lower-case.
inline constexpr std::array<std::string_view, 39> kTrackingParams = {
    "utm_source", "utm_medium", "utm_campaign", "utm_term", "utm_content", "utm_id",
    "utm_cid", "utm_reader", "utm_name", "utm_social", "utm_social-type", "fbclid",
    "gclid", "gclsrc", "dclid", "msclkid", "twclid", "igclid", "ttclid", "li_fat_id",
    "mc_cid", "mc_eid", "_ga", "_gl", "_gac", "_gu", "_kx", "_hsenc", "_hsmi",
    "_openstat", "vero_id", "wickedid", "yclid", "phpsessid", "jsessionid",
    "asp.net_sessionid", "ncid", "zanpid", "zanphp"};

/// The name a raw query key stands for, decoded as an
/// application/x-www-form-urlencoded name: "+" is a space, "%XX" (either hex
/// case) the byte it denotes, a "%" without two hex digits stays; ill-formed
/// UTF-8 then becomes U+FFFD per maximal subpart.
[[nodiscard]] std::string decoded_key(std::string_view raw);

/// Whether `decoded_key(raw)` is `raw` itself: ASCII text without "%" or "+", as
/// most keys are. Callers then match `raw` directly instead of a decoded copy.
[[nodiscard]] bool decodes_to_itself(std::string_view raw) noexcept;

/// True when the decoded `key` equals a built-in tracking name or one of `extra`,
/// comparing ASCII letters case-insensitively and every other byte exactly.
/// Allocates nothing.
[[nodiscard]] bool is_tracking_param_with(std::string_view key,
                                          std::span<const std::string> extra) noexcept;

/// `is_tracking_param_with` against the built-in list alone.
[[nodiscard]] bool is_tracking_param(std::string_view key) noexcept;

/// `query` (without its "?") minus the pairs whose decoded key is a built-in
/// tracking name. Kept pairs, empty ones included, are copied byte for byte in
/// their order; a query left with no pair (or one empty pair) becomes "".
[[nodiscard]] std::string clean_query(std::string_view query);

/// The outcome of `clean_url`. Map keys and values are raw query text (still
/// percent-encoded), ordered by UTF-8 bytes; a later pair with the same raw key
/// wins. Pairs without "=" appear in neither map.
struct CleanResult {
  std::string url;
  std::map<std::string, std::string> removed_params;
  std::map<std::string, std::string> cleaned_params;
};

/// Strips built-in tracking parameters from `url` by plain text splitting: the
/// query is everything after the first "?", fragment included ("#" is not
/// special). The "?" is dropped when nothing remains of the query.
[[nodiscard]] CleanResult clean_url(std::string_view url);

/// One entry of `CleanResult`'s maps, as views into the URL it came from.
struct CleanParam {
  std::string_view key;
  std::string_view value;
  bool tracking = false;
};

/// `clean_url` without copying the pairs: `params` holds the entries of both maps
/// (`tracking` tells which), in their order, each raw key once.
struct CleanView {
  std::string url;
  std::vector<CleanParam> params;
};

[[nodiscard]] CleanView clean_url_view(std::string_view url);

}  // namespace zoret
