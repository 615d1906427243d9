#include "zoret/payload_output.hpp"

#include <utility>

#include "zoret/hashing.hpp"
#include "zoret/json.hpp"

namespace zoret {
namespace {

// A minimal payload's compact text is a little under 128 bytes, so most pages
// need at most a few doublings.
constexpr std::size_t kCompactReserve = 128;
// A page's JSON-LD text is mostly between a few hundred bytes and a few
// kilobytes; growing to that from nothing took half a dozen reallocations.
constexpr std::size_t kJsonldReserve = 1024;

}  // namespace

std::string jsonld_text(const SEOPayload& payload) {
  std::string out;
  if (!payload.schema_jsonld) return out;
  out.reserve(kJsonldReserve);
  append_json_compact(out, *payload.schema_jsonld);
  return out;
}

std::string to_json_pretty(const SEOPayload& payload) {
  std::string out;
  out.reserve(512 + (payload.schema_jsonld ? kJsonldReserve * 2 : 0));
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
  compact.reserve(kCompactReserve + (payload.schema_jsonld ? kJsonldReserve : 0));
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
