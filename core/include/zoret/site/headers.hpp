#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zoret/payload.hpp"
#include "zoret/result.hpp"

namespace zoret::site {

/// The `X-Robots-Tag` value for robots text such as "noindex, follow": the text
/// as it is, which must be printable ASCII (no header can carry a control, and
/// non-ASCII would be read as Latin-1).
/// Errors: Serialization "robots text cannot be a header value: ...".
[[nodiscard]] Result<std::string> x_robots_tag_value(std::string_view robots);

/// The `Link` value `<URL>; rel="canonical"` (RFC 8288, 3). The URL is written
/// as a URI by `encode_uri_reference`: space, "<", ">" and the other characters
/// a URI cannot hold are percent-encoded, so the reference cannot end early, and
/// a URL holding any control character (CR, LF and NUL included) is refused
/// rather than passed on.
/// Errors: InvalidUrl as `encode_uri_reference`; InvalidUrl "canonical URL is
/// empty".
[[nodiscard]] Result<std::string> link_canonical_value(std::string_view canonical_url);

/// The response headers that carry a payload's signals for responses that are
/// not HTML: `Link` (from the canonical URL) then `X-Robots-Tag` (from the robots
/// text), each left out when its source is empty.
/// Errors: those of `link_canonical_value` and `x_robots_tag_value`.
[[nodiscard]] Result<std::vector<std::pair<std::string, std::string>>> response_headers(
    const SEOPayload& payload);

}  // namespace zoret::site
