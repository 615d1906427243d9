#pragma once

#include <string>
#include <string_view>

#include "zoret/payload.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// `text` with &, <, >, " and ' replaced by &amp; &lt; &gt; &quot; &#x27;, for use
/// in element content and double-quoted attribute values. Existing entities are
/// escaped again; every other byte is copied.
[[nodiscard]] std::string escape_html(std::string_view text);

/// `escape_html(text)` appended to `out`.
void append_escaped_html(std::string& out, std::string_view text);

/// Open Graph meta tags (`property="og:..."`), one per line, no final newline.
[[nodiscard]] std::string render_opengraph(const SEOPayload& payload);

/// Twitter Card meta tags (`name="twitter:..."`), one per line, no final newline.
[[nodiscard]] std::string render_twitter(const SEOPayload& payload);

/// The JSON-LD as an indented `<script type="application/ld+json">` element, or
/// the empty text when the payload has none. "</" and "<!--" inside the JSON are
/// written as "<\/" and "\u003c!--", so that the element cannot end early and the
/// HTML parser never enters its "script data double escaped" state, in which the
/// real end tag would no longer close the element (HTML Standard, tokenization).
[[nodiscard]] std::string render_jsonld(const SEOPayload& payload);
/// The same from `jsonld_text(payload)` (payload_output.hpp), written before.
[[nodiscard]] std::string render_jsonld(const SEOPayload& payload, std::string_view jsonld);

/// The whole head snippet: title, description (when not empty), canonical link,
/// robots, the Open Graph and Twitter tags and the JSON-LD element, one tag per
/// line, ending with a newline.
[[nodiscard]] std::string render_html(const SEOPayload& payload);
/// The same from `jsonld_text(payload)` (payload_output.hpp), written before.
[[nodiscard]] std::string render_html(const SEOPayload& payload, std::string_view jsonld);
/// That text appended to `out`, for a caller that keeps a buffer.
void append_html(std::string& out, const SEOPayload& payload, std::string_view jsonld);

}  // namespace zoret
