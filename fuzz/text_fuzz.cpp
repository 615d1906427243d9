// The HTML stripper and snippet cutter: the text is valid UTF-8 with single
// spaces and no blank ends, and a snippet is a prefix of it plus "..." when cut.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "zoret/text.hpp"
#include "zoret/unicode.hpp"

namespace {

using zoret::is_valid_utf8;

void check_text(std::string_view text) {
  ZORET_FUZZ_CHECK(is_valid_utf8(text));
  ZORET_FUZZ_CHECK(zoret::trim_white_space(text) == text);
  bool previous_space = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t cp = zoret::next_code_point(text, pos);
    const bool space = zoret::is_white_space(cp);
    // Collapsing leaves only single U+0020 between words.
    ZORET_FUZZ_CHECK(!space || (cp == U' ' && !previous_space));
    previous_space = space;
  }
}

void check_snippet(std::string_view html, std::string_view text, std::size_t max_chars) {
  const std::optional<std::string> snippet = zoret::build_description_snippet(html, max_chars);
  if (text.empty()) {
    ZORET_FUZZ_CHECK(!snippet.has_value());
    return;
  }
  ZORET_FUZZ_CHECK(snippet.has_value());
  ZORET_FUZZ_CHECK(is_valid_utf8(*snippet));
  const std::size_t text_chars = zoret::count_code_points(text);
  if (text_chars <= max_chars) {
    ZORET_FUZZ_CHECK(*snippet == text);
    return;
  }
  const std::size_t kept = max_chars < 3 ? 0 : max_chars - 3;
  ZORET_FUZZ_CHECK(zoret::count_code_points(*snippet) == kept + 3);
  ZORET_FUZZ_CHECK(std::string_view(*snippet).substr(snippet->size() - 3) == "...");
  const std::string_view head = std::string_view(*snippet).substr(0, snippet->size() - 3);
  ZORET_FUZZ_CHECK(text.substr(0, head.size()) == head);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  // The one UTF-8 check and the lossy decoder agree on what is well-formed.
  ZORET_FUZZ_CHECK(is_valid_utf8(html) == (zoret::utf8_lossy(html) == html));
  if (!is_valid_utf8(html)) return 0;
  const std::string text = zoret::html_to_text(html);
  ZORET_FUZZ_CHECK(text.size() <= html.size());
  check_text(text);
  for (const std::size_t max_chars : {std::size_t{0}, std::size_t{2}, std::size_t{3},
                                      std::size_t{10}, zoret::kDescriptionSnippetMaxChars}) {
    check_snippet(html, text, max_chars);
  }
  return 0;
}
