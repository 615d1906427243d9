#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/json.hpp"
#include "zoret/result.hpp"

namespace zoret {

/// Open Graph metadata of a payload.
struct OGPayload {
  std::string type;
  std::optional<std::string> title;
  std::optional<std::string> description;
  std::optional<std::string> url;
  std::optional<std::string> image;
  std::optional<std::uint32_t> image_width;
  std::optional<std::uint32_t> image_height;
  std::optional<std::string> image_alt;
  std::optional<std::string> site_name;
  std::optional<std::string> locale;
  std::optional<std::vector<std::string>> locale_alternate;
  std::optional<std::string> audio;
  std::optional<std::string> video;

  friend bool operator==(const OGPayload&, const OGPayload&) = default;
};

/// Twitter Card metadata of a payload.
struct TwitterPayload {
  std::string card;
  std::optional<std::string> title;
  std::optional<std::string> description;
  std::optional<std::string> image;
  std::optional<std::string> image_alt;
  std::optional<std::string> site;
  std::optional<std::string> creator;

  friend bool operator==(const TwitterPayload&, const TwitterPayload&) = default;
};

/// The resolved metadata of one page. `extra` holds top-level members that are
/// none of the known fields (only payloads read back by `from_dict` have any); an
/// entry named like a known member is left out of both JSON forms.
struct SEOPayload {
  SEOPayload() = default;
  SEOPayload(const SEOPayload&) = default;
  SEOPayload(SEOPayload&&) noexcept = default;
  SEOPayload& operator=(const SEOPayload&) = default;
  SEOPayload& operator=(SEOPayload&&) noexcept = default;
  /// Empties the JSON-LD from the leaves up first; see `empty_from_leaves`.
  ~SEOPayload();

  std::string title;
  std::string description;
  std::string canonical;
  std::string robots;
  OGPayload og;
  TwitterPayload twitter;
  std::optional<Json> schema_jsonld;
  std::map<std::string, Json> extra;

  /// Field-by-field equality; JSON numbers are equal only when held the same way
  /// (1 and 1.0 differ).
  friend bool operator==(const SEOPayload& a, const SEOPayload& b);

  /// The dictionary form: a JSON object whose keys are sorted at every level.
  [[nodiscard]] Json to_dict() const;

  /// `to_dict()` without its "schema_jsonld" member, for callers that convert the
  /// form and can read the JSON-LD from the payload rather than copy it.
  [[nodiscard]] Json to_dict_without_jsonld() const;

  /// The top-level keys of `to_dict()`, in its (ascending) order, without building
  /// any member.
  [[nodiscard]] std::vector<std::string_view> dict_keys() const;

  /// Whether `to_dict()` has a top-level member `name`, without building it.
  [[nodiscard]] bool dict_has(std::string_view name) const;

  /// Reads a payload back from its dictionary form. "og" and "twitter" may also be
  /// arrays with one element per field in declaration order; unknown keys inside
  /// them are ignored, unknown top-level keys go to `extra`. Errors: Serialization
  /// with a message such as "missing field `robots`" or "invalid type: integer
  /// `5`, expected a string"; a wrong type is reported before a missing field.
  [[nodiscard]] static Result<SEOPayload> from_dict(const Json& value);
};

/// The dictionary forms of the two nested records, as `to_dict()` holds them
/// under "og" and "twitter" (keys sorted).
[[nodiscard]] Json to_dict(const OGPayload& og);
[[nodiscard]] Json to_dict(const TwitterPayload& twitter);

/// Writes the field-by-field form (declaration order, `extra` last).
void write_json(JsonWriter& writer, const OGPayload& og);
void write_json(JsonWriter& writer, const TwitterPayload& twitter);
void write_json(JsonWriter& writer, const SEOPayload& payload);
/// The same with the JSON-LD given as compact text, `jsonld_text(payload)`
/// (payload_output.hpp), written before.
void write_json(JsonWriter& writer, const SEOPayload& payload, std::string_view jsonld);
/// The compact form with the JSON-LD's value left out, appended to `out`; returns
/// where in `out` that value belongs (npos without JSON-LD), for a caller that has
/// its text apart.
[[nodiscard]] std::size_t write_compact_around_jsonld(std::string& out, const SEOPayload& payload);

}  // namespace zoret
