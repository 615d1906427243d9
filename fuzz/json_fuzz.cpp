// Parse, then write both ways and read back: any accepted text must survive the
// compact and the pretty writer unchanged in value.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "zoret/json.hpp"

namespace {

void check_round_trip(const zoret::Json& value, const std::string& text, const char* form) {
  const auto again = zoret::parse_json(text);
  if (!again) {
    std::fprintf(stderr, "%s text does not parse: %s\n%s\n", form,
                 again.error().message().c_str(), text.c_str());
    std::abort();
  }
  if (!zoret::json_equal(*again, value)) {
    std::fprintf(stderr, "%s text reads back differently:\n%s\n", form, text.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto value = zoret::parse_json(input);
  if (!value) return 0;
  check_round_trip(*value, zoret::to_json_compact(*value), "compact");
  check_round_trip(*value, zoret::to_json_pretty_text(*value), "pretty");
  return 0;
}
