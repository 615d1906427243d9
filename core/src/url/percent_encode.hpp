#pragma once

// Percent-encode sets of the URL Standard as byte tables. Input is UTF-8, and every
// set contains all code points above U+007E, so encoding a code point's UTF-8 bytes
// one by one is the same as the standard's "UTF-8 percent-encode" of the code point.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zoret::url::detail {

using EncodeSet = std::array<bool, 256>;

constexpr EncodeSet make_set(std::string_view extra) {
  EncodeSet set{};
  for (int b = 0; b < 256; ++b) set[b] = b < 0x20 || b > 0x7E;
  for (char c : extra) set[static_cast<unsigned char>(c)] = true;
  return set;
}

inline constexpr EncodeSet kC0ControlSet = make_set("");
inline constexpr EncodeSet kFragmentSet = make_set(" \"<>`");
inline constexpr EncodeSet kQuerySet = make_set(" \"#<>");
inline constexpr EncodeSet kSpecialQuerySet = make_set(" \"#<>'");
inline constexpr EncodeSet kPathSet = make_set(" \"#<>?^`{}");
inline constexpr EncodeSet kUserinfoSet = make_set(" \"#<>?^`{}/:;=@[\\]|");

inline constexpr char kUpperHex[] = "0123456789ABCDEF";

/// Appends `in` to `out`, percent-encoding the bytes in `set`. Runs of bytes that
/// need no encoding are copied in one piece.
inline void append_encoded(std::string& out, std::string_view in, const EncodeSet& set) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    auto b = static_cast<unsigned char>(in[i]);
    if (!set[b]) continue;
    out.append(in.data() + run, i - run);
    const char escaped[3] = {'%', kUpperHex[b >> 4], kUpperHex[b & 0xF]};
    out.append(escaped, 3);
    run = i + 1;
  }
  out.append(in.data() + run, in.size() - run);
}

constexpr bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_ascii_alpha(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
constexpr bool is_ascii_hex_digit(char c) {
  return is_ascii_digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}
constexpr char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}
constexpr int hex_value(char c) {
  return is_ascii_digit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
}

}  // namespace zoret::url::detail
