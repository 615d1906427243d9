#include "site/text_checks.hpp"

#include "zoret/unicode.hpp"

namespace zoret::site::detail {
namespace {

constexpr std::size_t kQuotedMaxBytes = 200;

}  // namespace

std::string quoted(std::string_view text) {
  const bool cut = text.size() > kQuotedMaxBytes;
  const std::string shown = utf8_lossy(cut ? text.substr(0, kQuotedMaxBytes) : text);
  std::string out;
  out.reserve(shown.size() + 8);
  out += '"';
  for (const char ch : shown) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (is_ascii_control(c)) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  if (cut) out += "...";
  return out;
}

}  // namespace zoret::site::detail
