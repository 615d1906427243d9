#include "site/text_checks.hpp"

#include "zoret/unicode.hpp"

namespace zoret::site::detail {
namespace {

constexpr std::size_t kQuotedMaxBytes = 200;

// Length of the well-formed sequence that starts at `i` with a non-ASCII lead
// byte, or 0. Table 3-7 of the Unicode Standard.
std::size_t sequence_length(std::string_view s, std::size_t i) noexcept {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = at(i);
  std::size_t len = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s.size() - i < len) return 0;
  if (at(i + 1) < lo || at(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < len; ++k) {
    if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
  }
  return len;
}

}  // namespace

bool is_well_formed_utf8(std::string_view text) noexcept {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    if (n - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t len = sequence_length(text, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

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
