#pragma once

#include <string>
#include <string_view>

#include "zoret/result.hpp"

namespace zoret::site {

/// The hreflang value for a BCP 47 language tag, canonicalised by ICU: case
/// normalised ("en-us" -> "en-US", "zh-hant-tw" -> "zh-Hant-TW") and deprecated
/// subtags replaced ("iw" -> "he"). "x-default" is accepted in any ASCII case and
/// returned in lower case.
/// A tag is refused when it is empty; holds anything but ASCII letters, digits
/// and "-" ("en_US", "english!"); is not well-formed by RFC 5646 as ICU reads it
/// to the end ("e", "en-", "en--US", a repeated variant); has no language
/// ("und", "x-foo") or a language subtag of more than three letters ("english",
/// reserved and never assigned); or carries an extension or private-use part
/// ("en-US-u-ca-gregory"), which hreflang does not use. Whether a well-formed
/// language or region is assigned in ISO 639 or ISO 3166 is not checked.
/// Errors: InvalidEntity "invalid language tag \"en_US\": <reason>".
/// RFC 5646, section 2.1 (syntax) and 4.5 (canonical form).
[[nodiscard]] Result<std::string> canonical_language_tag(std::string_view tag);

}  // namespace zoret::site
