#include "zoret/payload_output.hpp"

#include <utility>

#include "zoret/hashing.hpp"
#include "zoret/json.hpp"

namespace zoret {
namespace {

// A minimal payload's compact text is a little under 128 bytes, so most pages
// need at most a few doublings.
constexpr std::size_t kCompactReserve = 128;

}  // namespace

std::string jsonld_text(const SEOPayload& payload) {
  return payload.schema_jsonld ? to_json_compact(*payload.schema_jsonld) : std::string();
}

std::string to_json_pretty(const SEOPayload& payload) {
  std::string out;
  out.reserve(512);
  JsonWriter writer(out, /*pretty=*/true);
  write_json(writer, payload);
  return out;
}

std::string to_json_pretty(const SEOPayload& payload, std::string_view jsonld) {
  std::string out;
  out.reserve(512 + jsonld.size() + jsonld.size() / 2);
  JsonWriter writer(out, /*pretty=*/true);
  write_json(writer, payload, jsonld);
  return out;
}

Result<std::string> hash_payload(const SEOPayload& payload) {
  std::string compact;
  compact.reserve(kCompactReserve);
  JsonWriter writer(compact, /*pretty=*/false);
  write_json(writer, payload);
  return sha256_hex(compact);
}

Result<std::string> hash_payload(const SEOPayload& payload, std::string_view jsonld) {
  std::string compact;
  compact.reserve(kCompactReserve + jsonld.size());
  JsonWriter writer(compact, /*pretty=*/false);
  write_json(writer, payload, jsonld);
  return sha256_hex(compact);
}

Result<std::string> etag_payload(const SEOPayload& payload) {
  auto hash = hash_payload(payload);
  if (!hash) return std::move(hash).error();
  std::string etag;
  etag.reserve(hash->size() + 2);
  etag += '"';
  etag += *hash;
  etag += '"';
  return etag;
}

}  // namespace zoret
