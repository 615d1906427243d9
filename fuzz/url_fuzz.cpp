// Fuzz target for the URL parser. Any input must parse or fail without touching
// memory it does not own; a URL that parses must serialise to text that parses
// back to the same URL, since callers store and re-read serialised URLs. The
// host parser gets the same bytes in both of its modes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "zoret/url/whatwg.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  (void)zoret::url::parse_host(input, true);
  (void)zoret::url::parse_host(input, false);

  const auto first = zoret::url::parse_url(input);
  if (!first) return 0;
  const std::string href = zoret::url::serialize(*first);
  const auto second = zoret::url::parse_url(href);
  if (!second || *second != *first || zoret::url::serialize(*second) != href) std::abort();
  return 0;
}
