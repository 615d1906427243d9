#include "zoret/detrack.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

#include "detail/ascii.hpp"
#include "detail/query_pairs.hpp"
#include "url/percent_encode.hpp"
#include "zoret/unicode.hpp"

namespace zoret {
namespace {

/// One walk serves both operations, so the kept query and the pairs can never
/// disagree about which pair is tracking. `params` may be null (clean_query).
std::string clean_pairs(std::string_view query, std::vector<CleanParam>* params) {
  std::string kept;
  kept.reserve(query.size());
  detail::append_kept_pairs(kept, query, [&](const detail::QueryPair& pair) {
    const bool tracking = decodes_to_itself(pair.raw_key)
                              ? is_tracking_param(pair.raw_key)
                              : is_tracking_param(decoded_key(pair.raw_key));
    if (params != nullptr && pair.value) params->push_back({pair.raw_key, *pair.value, tracking});
    return !tracking;
  });
  return kept;
}

/// Orders `params` by key bytes and keeps the last pair of each key, as
/// assigning them one by one into a map would.
void settle(std::vector<CleanParam>& params) {
  const auto by_key = [](const CleanParam& a, const CleanParam& b) { return a.key < b.key; };
  // A URL has a handful of pairs: sorted in place, stably, without the buffer that
  // stable_sort allocates; many pairs go to stable_sort.
  if (params.size() <= 16) {
    for (std::size_t i = 1; i < params.size(); ++i) {
      for (std::size_t j = i; j > 0 && by_key(params[j], params[j - 1]); --j) {
        std::swap(params[j], params[j - 1]);
      }
    }
  } else {
    std::stable_sort(params.begin(), params.end(), by_key);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (kept > 0 && params[kept - 1].key == params[i].key) {
      params[kept - 1] = params[i];
    } else {
      params[kept++] = params[i];
    }
  }
  params.resize(kept);
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

CleanView clean_url_view(std::string_view url) {
  CleanView result;
  const std::size_t question = url.find('?');
  if (question == std::string_view::npos) {
    result.url = url;
    return result;
  }
  const std::string kept = clean_pairs(url.substr(question + 1), &result.params);
  settle(result.params);
  // Keep the "?" only when something follows it.
  result.url.reserve(question + 1 + kept.size());
  result.url = url.substr(0, kept.empty() ? question : question + 1);
  result.url += kept;
  return result;
}

CleanResult clean_url(std::string_view url) {
  CleanView view = clean_url_view(url);
  CleanResult result{.url = std::move(view.url), .removed_params = {}, .cleaned_params = {}};
  for (const CleanParam& param : view.params) {
    auto& params = param.tracking ? result.removed_params : result.cleaned_params;
    params.emplace_hint(params.end(), param.key, param.value);
  }
  return result;
}

}  // namespace zoret
