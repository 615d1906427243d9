#include "zoret/payload_output.hpp"

#include <atomic>
#include <cstddef>
#include <utility>

#include "zoret/detail/scratch_text.hpp"
#include "zoret/hashing.hpp"
#include "zoret/json.hpp"

namespace zoret {
namespace {

/// How much to reserve for the next text of one kind: the size of the last one,
/// up to a bound. The pages of a site are alike, so a text is mostly written
/// without the doublings (each a reallocation and a copy) that growing from
/// nothing takes; a text larger than the last grows as usual.
class SizeHint {
 public:
  explicit SizeHint(std::size_t first) : last_(first) {}
  [[nodiscard]] std::size_t next() const noexcept {
    return last_.load(std::memory_order_relaxed) + kMargin;
  }
  void saw(std::size_t size) noexcept {
    last_.store(size < kBound ? size : kBound, std::memory_order_relaxed);
  }

 private:
  static constexpr std::size_t kMargin = 64;
  static constexpr std::size_t kBound = std::size_t{16} << 10;
  std::atomic<std::size_t> last_;
};

SizeHint jsonld_size(1024);

}  // namespace

std::string jsonld_text(const SEOPayload& payload) {
  std::string out;
  if (!payload.schema_jsonld) return out;
  out.reserve(jsonld_size.next());
  append_json_compact(out, *payload.schema_jsonld);
  jsonld_size.saw(out.size());
  return out;
}

void append_json_pretty(std::string& out, const SEOPayload& payload) {
  JsonWriter writer(out, /*pretty=*/true);
  write_json(writer, payload);
}

void append_json_pretty(std::string& out, const SEOPayload& payload, std::string_view jsonld) {
  JsonWriter writer(out, /*pretty=*/true);
  write_json(writer, payload, jsonld);
}

std::string to_json_pretty(const SEOPayload& payload) {
  std::string out;
  out.reserve(512);
  append_json_pretty(out, payload);
  return out;
}

std::string to_json_pretty(const SEOPayload& payload, std::string_view jsonld) {
  std::string out;
  out.reserve(512 + jsonld.size() + jsonld.size() / 2);
  append_json_pretty(out, payload, jsonld);
  return out;
}

// The compact text is only hashed, so it is written into the thread's scratch text.
Result<std::string> hash_payload(const SEOPayload& payload) {
  detail::ScratchText scratch;
  append_record_json(scratch.text(), payload, /*pretty=*/false);
  return sha256_hex(scratch.text());
}

Result<std::string> hash_payload(const SEOPayload& payload, std::string_view jsonld) {
  // The JSON-LD text is hashed where it lies, between the text before and after it.
  detail::ScratchText scratch;
  std::string& around = scratch.text();
  const std::size_t at = write_compact_around_jsonld(around, payload);
  if (at == std::string::npos) return sha256_hex(around);
  const std::string_view text(around);
  const std::string_view parts[] = {text.substr(0, at), jsonld, text.substr(at)};
  return sha256_hex(parts);
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
