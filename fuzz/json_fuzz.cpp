// The string writer, which skips clean bytes in wide steps, escapes every byte
// of any input exactly as a byte-by-byte escaper does, at every alignment.
// Any text the parser accepts must survive the compact and the pretty writer
// unchanged in value, and writing is stable: the compact text of what the
// compact text reads back to is that same text. The compact text, re-indented,
// is the pretty text at every starting level.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "zoret/json.hpp"

namespace {

std::string escaped_byte_by_byte(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t skip = 0; skip < 16 && skip <= input.size(); ++skip) {
    std::string written = "x";
    zoret::append_json_string(written, input.substr(skip));
    ZORET_FUZZ_CHECK(written == "x" + escaped_byte_by_byte(input.substr(skip)));
  }
  const auto value = zoret::parse_json(input);
  if (!value) {
    ZORET_FUZZ_CHECK(value.error().kind() == zoret::ErrorKind::Serialization);
    return 0;
  }
  const std::string compact = zoret::to_json_compact(*value);
  for (int level = 0; level < 3; ++level) {
    std::string pretty = "x";
    std::string reindented = "x";
    zoret::append_json_pretty(pretty, *value, level);
    zoret::append_json_reindented(reindented, compact, level);
    ZORET_FUZZ_CHECK(reindented == pretty);
  }
  for (const std::string& text : {compact, zoret::to_json_pretty_text(*value)}) {
    const auto again = zoret::parse_json(text);
    ZORET_FUZZ_CHECK(again.has_value());
    ZORET_FUZZ_CHECK(zoret::json_equal(*again, *value));
    ZORET_FUZZ_CHECK(zoret::to_json_compact(*again) == compact);
  }
  return 0;
}
