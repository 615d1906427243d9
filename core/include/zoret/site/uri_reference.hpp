#pragma once

#include <string>
#include <string_view>

#include "zoret/result.hpp"

namespace zoret::site {

/// An absolute URL rewritten as a URI (RFC 3986) for places where raw characters
/// are not allowed or not safe: sitemap locations, robots.txt and the `Link`
/// header. The URL keeps its meaning:
/// - outside the authority, every byte above U+007E (the UTF-8 of a non-ASCII
///   character) and the characters space " < > [ \ ] ^ ` { | } are
///   percent-encoded, as is a "%" not followed by two hex digits; existing
///   percent-escapes are kept;
/// - a host with non-ASCII characters is converted by IDNA (UTS #46) ToASCII;
/// - C0 control characters and DEL (CR, LF and NUL included) are refused: no
///   legitimate URL holds them, and passing them on would allow header or line
///   injection.
/// Errors: InvalidUrl "URL contains the control character U+000D: \"...\"" or
/// "URL host cannot be converted to ASCII: <reason>: \"...\"".
[[nodiscard]] Result<std::string> encode_uri_reference(std::string_view url);

}  // namespace zoret::site
