// The URL parser: a URL that parses serialises to text that parses back to the
// same URL (callers store and re-read serialised URLs), and a host the host
// parser accepts is a fixed point of it, in both of its modes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "zoret/url/whatwg.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace url = zoret::url;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  for (const bool is_opaque : {true, false}) {
    const auto host = url::parse_host(input, is_opaque);
    if (!host) continue;
    const auto again = url::parse_host(*host, is_opaque);
    ZORET_FUZZ_CHECK(again && *again == *host);
  }

  const auto first = url::parse_url(input);
  if (!first) return 0;
  const std::string href = url::serialize(*first);
  const auto second = url::parse_url(href);
  ZORET_FUZZ_CHECK(second && *second == *first);
  ZORET_FUZZ_CHECK(url::serialize(*second) == href);
  return 0;
}
