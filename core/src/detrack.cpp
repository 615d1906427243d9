#include "zoret/detrack.hpp"

#include <array>
#include <cstddef>

#include "detail/ascii.hpp"
#include "detail/query_pairs.hpp"
#include "url/percent_encode.hpp"
#include "zoret/unicode.hpp"

namespace zoret {
namespace {

/// One walk serves both operations, so the kept query and the two maps can never
/// disagree about which pair is tracking. `result` may be null (clean_query).
std::string clean_pairs(std::string_view query, CleanResult* result) {
  std::string kept;
  kept.reserve(query.size());
  detail::append_kept_pairs(kept, query, [&](const detail::QueryPair& pair) {
    const bool tracking = decodes_to_itself(pair.raw_key)
                              ? is_tracking_param(pair.raw_key)
                              : is_tracking_param(decoded_key(pair.raw_key));
    if (result != nullptr && pair.value) {
      auto& params = tracking ? result->removed_params : result->cleaned_params;
      params.insert_or_assign(std::string(pair.raw_key), std::string(*pair.value));
    }
    return !tracking;
  });
  return kept;
}

constexpr std::size_t kLongestTrackingParam = [] {
  std::size_t longest = 0;
  for (auto name : kTrackingParams) longest = name.size() > longest ? name.size() : longest;
  return longest;
}();
constexpr std::size_t kMostOfOneLength = [] {
  std::array<std::size_t, kLongestTrackingParam + 1> count{};
  std::size_t most = 0;
  for (auto name : kTrackingParams) most = ++count[name.size()] > most ? count[name.size()] : most;
  return most;
}();

/// The indexes into kTrackingParams of the names of each length, then
/// kTrackingParams.size(): a key is compared with the few names of its length only.
constexpr auto kTrackingByLength = [] {
  std::array<std::array<std::size_t, kMostOfOneLength + 1>, kLongestTrackingParam + 1> table{};
  for (auto& row : table) row.fill(kTrackingParams.size());
  for (std::size_t i = 0; i < kTrackingParams.size(); ++i) {
    auto& row = table[kTrackingParams[i].size()];
    std::size_t n = 0;
    while (row[n] != kTrackingParams.size()) ++n;
    row[n] = i;
  }
  return table;
}();

bool is_builtin_tracking_param(std::string_view key) noexcept {
  if (key.size() > kLongestTrackingParam) return false;
  for (const std::size_t i : kTrackingByLength[key.size()]) {
    if (i == kTrackingParams.size()) return false;
    if (ascii_iequals(key, kTrackingParams[i])) return true;
  }
  return false;
}

}  // namespace

bool decodes_to_itself(std::string_view raw) noexcept {
  for (const char c : raw) {
    if (c == '%' || c == '+' || static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string decoded_key(std::string_view raw) {
  std::string bytes;
  bytes.reserve(raw.size());
  url::detail::append_percent_decoded(bytes, raw, /*plus_is_space=*/true);
  // Most keys are plain ASCII, which needs no second pass.
  if (detail::is_ascii(bytes)) return bytes;
  return utf8_lossy(bytes);
}

bool is_tracking_param_with(std::string_view key, std::span<const std::string> extra) noexcept {
  if (is_builtin_tracking_param(key)) return true;
  for (const std::string& name : extra) {
    if (ascii_iequals(key, name)) return true;
  }
  return false;
}

bool is_tracking_param(std::string_view key) noexcept { return is_tracking_param_with(key, {}); }

std::string clean_query(std::string_view query) {
  if (query.empty()) return {};
  return clean_pairs(query, nullptr);
}

CleanResult clean_url(std::string_view url) {
  CleanResult result;
  const std::size_t question = url.find('?');
  if (question == std::string_view::npos) {
    result.url = url;
    return result;
  }
  const std::string kept = clean_pairs(url.substr(question + 1), &result);
  // Keep the "?" only when something follows it.
  result.url.reserve(question + 1 + kept.size());
  result.url = url.substr(0, kept.empty() ? question : question + 1);
  result.url += kept;
  return result;
}

}  // namespace zoret
