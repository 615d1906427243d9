#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace zoret {

/// The limit the payload builder uses for descriptions cut from a body.
inline constexpr std::size_t kDescriptionSnippetMaxChars = 160;

/// One line of plain text from HTML, by a tag stripper rather than a parser:
/// every "<...>" (or a final "<" with no ">") becomes one space, except that a
/// tag whose whole text lower-cases to "style", "script" or "noscript" drops
/// everything up to the tag "/style", "/script" or "/noscript" respectively (or
/// to the end). Runs of White_Space then become one U+0020 and the ends are
/// trimmed. Character references are not decoded. `html` should be valid UTF-8;
/// other bytes are passed through.
[[nodiscard]] std::string html_to_text(std::string_view html);

/// `html_to_text(html)` limited to `max_chars` code points: a longer text keeps
/// its first `max_chars - 3` code points (none when `max_chars` < 3) followed by
/// "...", cut anywhere. Absent when `html` is absent or its text is empty.
[[nodiscard]] std::optional<std::string> build_description_snippet(
    const std::optional<std::string>& html, std::size_t max_chars);

/// The same for HTML that is present.
[[nodiscard]] std::optional<std::string> build_description_snippet(std::string_view html,
                                                                   std::size_t max_chars);

/// Lets std::string and literals pick the view overload; without it both
/// overloads convert equally well and the call is ambiguous.
template <class Text>
  requires std::is_convertible_v<const Text&, std::string_view>
[[nodiscard]] std::optional<std::string> build_description_snippet(const Text& html,
                                                                   std::size_t max_chars) {
  return build_description_snippet(std::string_view(html), max_chars);
}

}  // namespace zoret
