#include "zoret/url/query_filter.hpp"

#include "detail/ascii.hpp"
#include "detail/query_pairs.hpp"
#include "zoret/detrack.hpp"

namespace zoret {

QueryFilter::QueryFilter(const URLPolicy& policy)
    : strip_tracking_(policy.allowed_query_params.empty() && policy.strip_tracking_params) {
  allowed_.insert(policy.allowed_query_params.begin(), policy.allowed_query_params.end());
  if (!strip_tracking_) return;
  for (const std::string& name : policy.extra_tracking_params) {
    std::string lower = name;
    for (char& c : lower) c = detail::ascii_lower(c);
    extra_tracking_.insert(std::move(lower));
  }
}

bool QueryFilter::keeps(std::string_view key) const {
  if (!allowed_.empty()) return allowed_.contains(key);
  if (!strip_tracking_) return true;
  if (is_tracking_param(key)) return false;
  if (extra_tracking_.empty()) return true;
  std::string lower(key);
  for (char& c : lower) c = detail::ascii_lower(c);
  return !extra_tracking_.contains(lower);
}

std::string QueryFilter::apply(std::string_view query) const {
  std::string out;
  out.reserve(query.size());
  detail::append_kept_pairs(out, query, [&](const detail::QueryPair& pair) {
    if (pair.raw_key.empty()) return false;
    return decodes_to_itself(pair.raw_key) ? keeps(pair.raw_key) : keeps(decoded_key(pair.raw_key));
  });
  return out;
}

std::string filter_query(std::string_view query, const URLPolicy& policy) {
  return QueryFilter(policy).apply(query);
}

}  // namespace zoret
