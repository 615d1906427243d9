#include "zoret/detrack.hpp"

#include "zoret/unicode.hpp"

namespace zoret {
namespace {

int hex_digit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// One walk serves both operations, so the kept query and the two maps can never
/// disagree about which pair is tracking. `result` may be null (clean_query).
std::string clean_pairs(std::string_view query, CleanResult* result) {
  std::string kept;
  kept.reserve(query.size());
  bool first = true;
  std::size_t start = 0;
  while (true) {
    const std::size_t amp = query.find('&', start);
    const std::string_view pair =
        query.substr(start, amp == std::string_view::npos ? std::string_view::npos : amp - start);
    const std::size_t eq = pair.find('=');
    const std::string_view raw_key = pair.substr(0, eq);
    const bool tracking = is_tracking_param(decoded_key(raw_key));
    if (result != nullptr && eq != std::string_view::npos) {
      auto& params = tracking ? result->removed_params : result->cleaned_params;
      params.insert_or_assign(std::string(raw_key), std::string(pair.substr(eq + 1)));
    }
    if (!tracking) {
      if (!first) kept += '&';
      kept += pair;
      first = false;
    }
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
  return kept;
}

}  // namespace

std::string decoded_key(std::string_view raw) {
  std::string bytes;
  bytes.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '+') {
      bytes += ' ';
    } else if (c == '%' && i + 2 < raw.size() && hex_digit(raw[i + 1]) >= 0 &&
               hex_digit(raw[i + 2]) >= 0) {
      bytes += static_cast<char>(hex_digit(raw[i + 1]) * 16 + hex_digit(raw[i + 2]));
      i += 2;
    } else {
      bytes += c;
    }
  }
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
