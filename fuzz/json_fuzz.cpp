// Any text the parser accepts must survive the compact and the pretty writer
// unchanged in value, and writing is stable: the compact text of what the
// compact text reads back to is that same text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "zoret/json.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto value = zoret::parse_json(input);
  if (!value) {
    ZORET_FUZZ_CHECK(value.error().kind() == zoret::ErrorKind::Serialization);
    return 0;
  }
  const std::string compact = zoret::to_json_compact(*value);
  for (const std::string& text : {compact, zoret::to_json_pretty_text(*value)}) {
    const auto again = zoret::parse_json(text);
    ZORET_FUZZ_CHECK(again.has_value());
    ZORET_FUZZ_CHECK(zoret::json_equal(*again, *value));
    ZORET_FUZZ_CHECK(zoret::to_json_compact(*again) == compact);
  }
  return 0;
}
