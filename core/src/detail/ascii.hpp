#pragma once

// Byte-level helpers that every text format of the core needs: ASCII classes,
// hexadecimal and decimal digits, and the UTF-8 sequence check. They are
// locale-independent on purpose (<cctype> is not).

#include <charconv>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>

namespace zoret::detail {

constexpr bool is_ascii_digit(char c) noexcept { return c >= '0' && c <= '9'; }

constexpr bool is_ascii_alpha(char c) noexcept {
  return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

constexpr bool is_ascii_hex_digit(char c) noexcept {
  return is_ascii_digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

/// Tab, line feed, vertical tab, form feed, carriage return and space: the ASCII
/// code points with the Unicode White_Space property.
constexpr bool is_ascii_white_space(char c) noexcept {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr char ascii_lower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

/// The value of a hexadecimal digit of either case, or -1.
constexpr int hex_value(char c) noexcept {
  if (is_ascii_digit(c)) return c - '0';
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
  return -1;
}

inline constexpr char kLowerHexDigits[] = "0123456789abcdef";
inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

/// Writes the two hexadecimal digits of `byte` from `digits` (one of the tables
/// above) at `to`.
inline void put_hex_byte(char* to, unsigned char byte, const char* digits) noexcept {
  to[0] = digits[byte >> 4];
  to[1] = digits[byte & 0xF];
}

/// Appends the two hexadecimal digits of `byte` from `digits`.
inline void append_hex_byte(std::string& out, unsigned char byte, const char* digits) {
  char pair[2];
  put_hex_byte(pair, byte, digits);
  out.append(pair, 2);
}

/// Appends `value` in decimal, with a '-' when negative.
template <std::integral T>
void append_decimal(std::string& out, T value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

constexpr bool is_ascii(std::string_view s) noexcept {
  unsigned char bits = 0;
  for (const char c : s) bits |= static_cast<unsigned char>(c);
  return bits < 0x80;
}

constexpr bool is_utf8_continuation(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }

/// Where the check of one UTF-8 sequence stopped.
struct Utf8Scan {
  /// Just past the sequence when it is well-formed. Otherwise the first byte that
  /// does not fit: the start itself when that byte cannot begin a sequence, the
  /// text's size when the text ends inside the sequence.
  std::size_t end;
  bool valid;
};

/// Checks the sequence that starts at `s[i]` (i < s.size()) against Unicode
/// Table 3-7: no overlong forms, no surrogates, nothing above U+10FFFF. For an
/// ill-formed sequence, `end - i` (at least 1) is its maximal subpart.
constexpr Utf8Scan scan_utf8_sequence(std::string_view s, std::size_t i) noexcept {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x80) return {i + 1, true};
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;  // overlong below U+0800
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;  // overlong below U+10000
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return {i, false};
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= s.size()) return {s.size(), false};
    const auto c = static_cast<unsigned char>(s[i + k]);
    if (c < low || c > high) return {i + k, false};
    low = 0x80;
    high = 0xBF;
  }
  return {i + length, true};
}

}  // namespace zoret::detail
