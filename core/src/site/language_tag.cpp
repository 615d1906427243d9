#include "zoret/site/language_tag.hpp"

#include <unicode/uloc.h>

#include "site/text_checks.hpp"
#include "zoret/unicode.hpp"

namespace zoret::site {
namespace {

constexpr std::string_view kDefaultTag = "x-default";
// Real hreflang values are a dozen characters; ICU's locale IDs must also fit
// its fixed buffers, which this keeps far away.
constexpr std::size_t kMaxTagBytes = 64;

ZoretError invalid(std::string_view tag, std::string_view reason) {
  std::string message = "invalid language tag ";
  message += detail::quoted(tag);
  message += ": ";
  message += reason;
  return ZoretError(ErrorKind::InvalidEntity, std::move(message));
}

bool is_tag_character(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool is_all_letters(std::string_view text) {
  for (const char c : text) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

}  // namespace

Result<std::string> canonical_language_tag(std::string_view tag) {
  if (tag.empty()) return invalid(tag, "it is empty");
  if (ascii_iequals(tag, kDefaultTag)) return std::string(kDefaultTag);
  if (tag.size() > kMaxTagBytes) return invalid(tag, "it is longer than 64 characters");
  for (const char c : tag) {
    if (!is_tag_character(c)) {
      return invalid(tag, "only ASCII letters, digits and \"-\" may appear in a tag");
    }
  }

  // ICU stops at the first subtag it cannot place and reports how far it read;
  // anything left over means the tag is not well-formed.
  const std::string input(tag);
  char locale[ULOC_FULLNAME_CAPACITY];
  int32_t parsed = 0;
  UErrorCode status = U_ZERO_ERROR;
  uloc_forLanguageTag(input.c_str(), locale, sizeof locale, &parsed, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING ||
      parsed != static_cast<int32_t>(input.size())) {
    return invalid(tag, "it is not a well-formed BCP 47 tag");
  }
  char canonical[ULOC_FULLNAME_CAPACITY];
  status = U_ZERO_ERROR;
  const int32_t length =
      uloc_toLanguageTag(locale, canonical, sizeof canonical, /*strict=*/1, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) {
    return invalid(tag, "it is not a well-formed BCP 47 tag");
  }
  const std::string_view out(canonical, static_cast<std::size_t>(length));

  const std::string_view language = out.substr(0, out.find('-'));
  if (language == "und" || !is_all_letters(language)) {
    return invalid(tag, "it names no language");
  }
  if (language.size() > 3) {
    return invalid(tag, "the language subtag must have two or three letters");
  }
  for (std::size_t start = 0; start < out.size();) {
    std::size_t end = out.find('-', start);
    if (end == std::string_view::npos) end = out.size();
    if (end - start == 1) {
      return invalid(tag, "extensions and private-use subtags are not used by hreflang");
    }
    start = end + 1;
  }
  return std::string(out);
}

}  // namespace zoret::site
