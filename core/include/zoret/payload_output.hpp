#pragma once

#include <string>
#include <string_view>

#include "zoret/payload.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// The payload's JSON-LD as compact JSON text, empty when it has none. Every
/// output below (and render_html) holds the JSON-LD, and each has a form that
/// takes this text instead of writing the value again: a caller asking for
/// several outputs of one payload writes it once. Those forms expect exactly this
/// function's text for the same payload and give the same bytes as the forms that
/// walk the value, which are cheaper for a single output.
[[nodiscard]] std::string jsonld_text(const SEOPayload& payload);

/// The field-by-field form as indented JSON (two spaces per level, no final
/// newline).
void append_json_pretty(std::string& out, const SEOPayload& payload);
void append_json_pretty(std::string& out, const SEOPayload& payload, std::string_view jsonld);
[[nodiscard]] std::string to_json_pretty(const SEOPayload& payload);
[[nodiscard]] std::string to_json_pretty(const SEOPayload& payload, std::string_view jsonld);

/// SHA-256 of the field-by-field form written compactly, as 64 lower-case hex
/// digits. Equal payloads hash equally; 1 and 1.0 in the JSON-LD do not.
/// Errors: Serialization from the digest (only when libcrypto fails).
[[nodiscard]] Result<std::string> hash_payload(const SEOPayload& payload);
[[nodiscard]] Result<std::string> hash_payload(const SEOPayload& payload,
                                               std::string_view jsonld);

/// `hash_payload` in double quotes: a strong entity tag (RFC 9110, 8.8.3).
/// Errors: those of `hash_payload`.
[[nodiscard]] Result<std::string> etag_payload(const SEOPayload& payload);

}  // namespace zoret
