#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zoret {

/// True for code points with the Unicode White_Space property.
[[nodiscard]] bool is_white_space(char32_t cp) noexcept;

/// `s` without White_Space characters at either end (a view into `s`).
/// `s` must be valid UTF-8.
[[nodiscard]] std::string_view trim_white_space(std::string_view s) noexcept;

/// Full Unicode default lower-case mapping (root locale, final sigma in context,
/// one character may become several). ASCII-only text skips ICU.
[[nodiscard]] std::string to_lower_full(std::string_view s);

/// Number of code points in valid UTF-8 text.
[[nodiscard]] std::size_t count_code_points(std::string_view s) noexcept;

/// Byte offset of the code point with index `n` (or s.size() when s is shorter).
[[nodiscard]] std::size_t code_point_offset(std::string_view s, std::size_t n) noexcept;

/// Decodes one code point from valid UTF-8 at `pos`, advancing `pos`.
[[nodiscard]] char32_t next_code_point(std::string_view s, std::size_t& pos) noexcept;

/// Whether `s` is well-formed UTF-8 (Unicode Table 3-7: no overlong forms, no
/// surrogates, nothing above U+10FFFF).
[[nodiscard]] bool is_valid_utf8(std::string_view s) noexcept;

/// Reads arbitrary bytes as UTF-8, replacing each maximal ill-formed subpart by
/// U+FFFD.
[[nodiscard]] std::string utf8_lossy(std::string_view bytes);

/// Lower-cases ASCII letters only.
[[nodiscard]] bool ascii_iequals(std::string_view a, std::string_view b) noexcept;

}  // namespace zoret
