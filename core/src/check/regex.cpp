#include "check/regex.hpp"

#include <re2/re2.h>

namespace zoret::detail {

void RegexDeleter::operator()(re2::RE2* regex) const noexcept { delete regex; }

Result<Regex> compile_regex(std::string_view pattern) {
  re2::RE2::Options options;
  options.set_encoding(re2::RE2::Options::EncodingUTF8);
  options.set_log_errors(false);
  options.set_max_mem(kRegexMaxMemory);
  Regex regex(new re2::RE2(re2::StringPiece(pattern.data(), pattern.size()), options));
  if (regex->ok()) return regex;
  std::string message;
  if (regex->error_code() == re2::RE2::ErrorPatternTooLarge) {
    message = "regular expression too large (more than 1 MiB compiled): ";
    message += pattern;
  } else {
    message = "invalid regular expression: ";
    message += regex->error();
  }
  return ZoretError(ErrorKind::Contract, std::move(message));
}

bool regex_search(const re2::RE2& regex, std::string_view text) {
  return re2::RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), regex);
}

}  // namespace zoret::detail
