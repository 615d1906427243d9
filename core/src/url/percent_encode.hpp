#pragma once

// Percent-encode sets of the URL Standard as byte tables. Input is UTF-8, and every
// set contains all code points above U+007E, so encoding a code point's UTF-8 bytes
// one by one is the same as the standard's "UTF-8 percent-encode" of the code point.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "detail/ascii.hpp"

namespace zoret::url::detail {

using zoret::detail::ascii_lower;
using zoret::detail::hex_value;
using zoret::detail::is_ascii_alpha;
using zoret::detail::is_ascii_digit;
using zoret::detail::is_ascii_hex_digit;

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

/// Appends `in` to `out`, percent-encoding the bytes in `set`. Runs of bytes that
/// need no encoding are copied in one piece.
inline void append_encoded(std::string& out, std::string_view in, const EncodeSet& set) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    auto b = static_cast<unsigned char>(in[i]);
    if (!set[b]) continue;
    out.append(in.data() + run, i - run);
    out += '%';
    zoret::detail::append_hex_byte(out, b, zoret::detail::kUpperHexDigits);
    run = i + 1;
  }
  out.append(in.data() + run, in.size() - run);
}

/// Appends `in` with every "%" followed by two hexadecimal digits replaced by the
/// byte they denote; any other "%" stays. With `plus_is_space`, "+" stands for a
/// space, as in application/x-www-form-urlencoded names and values.
/// WHATWG URL Standard, "percent-decode"; "application/x-www-form-urlencoded parser".
inline void append_percent_decoded(std::string& out, std::string_view in, bool plus_is_space) {
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '+' && plus_is_space) {
      out += ' ';
    } else if (c == '%' && i + 2 < in.size() && is_ascii_hex_digit(in[i + 1]) &&
               is_ascii_hex_digit(in[i + 2])) {
      out += static_cast<char>(hex_value(in[i + 1]) * 16 + hex_value(in[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
}

}  // namespace zoret::url::detail
