#include "zoret/detrack.hpp"

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
    const bool tracking = is_tracking_param(decoded_key(pair.raw_key));
    if (result != nullptr && pair.value) {
      auto& params = tracking ? result->removed_params : result->cleaned_params;
      params.insert_or_assign(std::string(pair.raw_key), std::string(*pair.value));
    }
    return !tracking;
  });
  return kept;
}

}  // namespace

std::string decoded_key(std::string_view raw) {
  std::string bytes;
  bytes.reserve(raw.size());
  url::detail::append_percent_decoded(bytes, raw, /*plus_is_space=*/true);
  // Most keys are plain ASCII, which needs no second pass.
  if (detail::is_ascii(bytes)) return bytes;
  return utf8_lossy(bytes);
}

bool is_tracking_param_with(std::string_view key, std::span<const std::string> extra) noexcept {
  // ascii_iequals compares sizes first, so almost every entry is rejected without
  // touching its bytes.
  for (const std::string_view name : kTrackingParams) {
    if (ascii_iequals(key, name)) return true;
  }
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
