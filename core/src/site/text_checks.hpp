#pragma once

// Small text checks shared by the site outputs.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zoret::site::detail {

/// True for C0 controls and DEL.
[[nodiscard]] constexpr bool is_ascii_control(unsigned char c) noexcept {
  return c < 0x20 || c == 0x7F;
}

/// `text` in double quotes for an error message: quote, backslash and control
/// bytes escaped (\n, \r, \t, \xNN), ill-formed UTF-8 shown as U+FFFD, and cut
/// to about 200 bytes with "..." so that a hostile value cannot flood the text.
[[nodiscard]] std::string quoted(std::string_view text);

}  // namespace zoret::site::detail
