// The URL parser: its shortcut for plain http(s) URLs agrees with the state
// machine on every input; a URL that parses serialises to text that parses back to the
// same URL (callers store and re-read serialised URLs), and a host the host
// parser accepts is a fixed point of it, in both of its modes. A long domain
// (ICU sees it in pieces) made of copies of an international one fares as the
// one does: the same labels, so the same verdict, and the copies of its result.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "zoret/unicode.hpp"
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

  if (input.size() >= 16 && input.size() <= 512 && zoret::is_valid_utf8(input) &&
      zoret::count_code_points(input) != input.size()) {
    const auto one = url::parse_host(input, false);
    // An IPv4 address does not survive being repeated, nor a name that maps to
    // nothing (its copies leave the dots between them); anything else must.
    const bool ipv4 = one && one->find_first_not_of("0123456789.") == std::string::npos;
    if (!ipv4 && (one || one.error() != url::UrlFailure::EmptyHost)) {
      std::string copies(input);
      std::string expected = one ? *one : "";
      while (copies.size() <= 2100) {
        copies.append(".").append(input);
        if (one) expected.append(".").append(*one);
      }
      const auto many = url::parse_host(copies, false);
      ZORET_FUZZ_CHECK(many.has_value() == one.has_value());
      ZORET_FUZZ_CHECK(!many || *many == expected);
    }
  }

  // The one-pass shortcut for plain http(s) URLs decides as the state machine does.
  const auto first = url::parse_url(input);
  const auto general = url::detail::parse_url_without_shortcut(input);
  ZORET_FUZZ_CHECK(first.has_value() == general.has_value());
  ZORET_FUZZ_CHECK(first ? *first == *general : first.error() == general.error());

  if (!first) return 0;
  const std::string href = url::serialize(*first);
  const auto second = url::parse_url(href);
  ZORET_FUZZ_CHECK(second && *second == *first);
  ZORET_FUZZ_CHECK(url::serialize(*second) == href);
  return 0;
}
