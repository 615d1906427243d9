// Fuzz target for the HTML stripper and snippet cutter.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "zoret/text.hpp"
#include "zoret/unicode.hpp"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

bool is_valid_utf8(std::string_view s) { return zoret::utf8_lossy(s) == s; }

void check_text(std::string_view text) {
  check(is_valid_utf8(text));
  check(zoret::trim_white_space(text) == text);
  bool previous_space = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t cp = zoret::next_code_point(text, pos);
    const bool space = zoret::is_white_space(cp);
    // Collapsing leaves only single U+0020 between words.
    check(!space || (cp == U' ' && !previous_space));
    previous_space = space;
  }
}

void check_snippet(std::string_view html, std::string_view text, std::size_t max_chars) {
  const std::optional<std::string> snippet = zoret::build_description_snippet(html, max_chars);
  if (text.empty()) {
    check(!snippet.has_value());
    return;
  }
  check(snippet.has_value());
  check(is_valid_utf8(*snippet));
  const std::size_t text_chars = zoret::count_code_points(text);
  if (text_chars <= max_chars) {
    check(*snippet == text);
    return;
  }
  const std::size_t kept = max_chars < 3 ? 0 : max_chars - 3;
  check(zoret::count_code_points(*snippet) == kept + 3);
  check(std::string_view(*snippet).substr(snippet->size() - 3) == "...");
  const std::string_view head = std::string_view(*snippet).substr(0, snippet->size() - 3);
  check(text.substr(0, head.size()) == head);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  if (!is_valid_utf8(html)) return 0;
  const std::string text = zoret::html_to_text(html);
  check(text.size() <= html.size());
  check_text(text);
  for (const std::size_t max_chars : {std::size_t{0}, std::size_t{2}, std::size_t{3},
                                      std::size_t{10}, zoret::kDescriptionSnippetMaxChars}) {
    check_snippet(html, text, max_chars);
  }
  return 0;
}
