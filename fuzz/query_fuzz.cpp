// The tracking-parameter cleaner and the policy's query filter decide alike.
//
// On the default policy (tracking parameters stripped, no allow list, no extra
// names) filter_query(q) is clean_query(q) without the pieces whose raw key is
// empty ("", "=x"), which the filter always drops and the cleaner keeps; so the
// two agree exactly on every query none of whose "&"-pieces has an empty key.
// Both only ever drop whole pieces: what they keep is a subsequence of the
// input's pieces, byte for byte. With extra names, the filter's hash set decides
// as a plain scan of the names (is_tracking_param_with) would.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"
#include "zoret/detrack.hpp"
#include "zoret/unicode.hpp"
#include "zoret/url/query_filter.hpp"

namespace {

std::vector<std::string_view> pieces(std::string_view query) {
  std::vector<std::string_view> out;
  for (std::size_t start = 0;;) {
    const std::size_t amp = query.find('&', start);
    out.push_back(query.substr(start, amp == std::string_view::npos ? amp : amp - start));
    if (amp == std::string_view::npos) return out;
    start = amp + 1;
  }
}

std::string_view raw_key(std::string_view piece) { return piece.substr(0, piece.find('=')); }

std::string join(const std::vector<std::string_view>& kept) {
  std::string out;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i != 0) out += '&';
    out += kept[i];
  }
  return out;
}

bool is_subsequence(const std::vector<std::string_view>& part,
                    const std::vector<std::string_view>& whole) {
  std::size_t i = 0;
  for (const std::string_view piece : whole) {
    if (i < part.size() && part[i] == piece) ++i;
  }
  return i == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> input = pieces(query);

  const std::string cleaned = zoret::clean_query(query);
  const std::string filtered = zoret::filter_query(query, zoret::URLPolicy{});
  std::vector<std::string_view> cleaned_pieces;
  if (!cleaned.empty()) cleaned_pieces = pieces(cleaned);
  std::vector<std::string_view> keyed;
  for (const std::string_view piece : cleaned_pieces) {
    if (!raw_key(piece).empty()) keyed.push_back(piece);
  }
  ZORET_FUZZ_CHECK(filtered == join(keyed));
  ZORET_FUZZ_CHECK(is_subsequence(cleaned_pieces, input));
  for (const std::string_view piece : cleaned_pieces) {
    ZORET_FUZZ_CHECK(!zoret::is_tracking_param(zoret::decoded_key(raw_key(piece))));
  }

  // The shortcut for keys that decode to themselves, and the matcher that only
  // looks at names of the key's length, agree with decoding and a scan of the list.
  std::vector<std::string_view> slow_kept;
  for (const std::string_view piece : input) {
    const std::string_view key = raw_key(piece);
    const std::string decoded = zoret::decoded_key(key);
    if (zoret::decodes_to_itself(key)) ZORET_FUZZ_CHECK(decoded == key);
    bool listed = false;
    for (const std::string_view name : zoret::kTrackingParams) {
      listed = listed || zoret::ascii_iequals(decoded, name);
    }
    ZORET_FUZZ_CHECK(zoret::is_tracking_param(decoded) == listed);
    if (!listed) slow_kept.push_back(piece);
  }
  ZORET_FUZZ_CHECK(cleaned == join(slow_kept));

  // clean_url walks the same pieces: its query is clean_query's.
  const zoret::CleanResult result = zoret::clean_url("/?" + std::string(query));
  ZORET_FUZZ_CHECK(result.url == (cleaned.empty() ? "/" : "/?" + cleaned));

  // Every other key, its ASCII case flipped, becomes an extra tracking name.
  zoret::URLPolicy policy;
  for (std::size_t i = 0; i < input.size(); i += 2) {
    std::string name(zoret::decoded_key(raw_key(input[i])));
    for (char& c : name) {
      if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') c ^= 0x20;
    }
    policy.extra_tracking_params.push_back(std::move(name));
  }
  std::vector<std::string_view> expected;
  for (const std::string_view piece : input) {
    const std::string_view key = raw_key(piece);
    if (!key.empty() &&
        !zoret::is_tracking_param_with(zoret::decoded_key(key), policy.extra_tracking_params)) {
      expected.push_back(piece);
    }
  }
  ZORET_FUZZ_CHECK(zoret::QueryFilter(policy).apply(query) == join(expected));
  return 0;
}
