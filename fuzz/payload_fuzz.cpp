// The payload reader on arbitrary JSON. A payload it accepts comes back equal
// from its dictionary form (what hooks see) and from its JSON text (what is
// stored and hashed), hashes equal whichever way it was read, and renders. The
// outputs made from the JSON-LD written once equal those that walk the value.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "zoret/json.hpp"
#include "zoret/payload.hpp"
#include "zoret/payload_output.hpp"
#include "zoret/render.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto value = zoret::parse_json(input);
  if (!value) return 0;
  const auto payload = zoret::SEOPayload::from_dict(*value);
  if (!payload) {
    ZORET_FUZZ_CHECK(payload.error().kind() == zoret::ErrorKind::Serialization);
    return 0;
  }
  const auto from_dict = zoret::SEOPayload::from_dict(payload->to_dict());
  ZORET_FUZZ_CHECK(from_dict && *from_dict == *payload);

  const std::string text = zoret::to_json_pretty(*payload);
  const std::string jsonld = zoret::jsonld_text(*payload);
  ZORET_FUZZ_CHECK(zoret::to_json_pretty(*payload, jsonld) == text);
  const auto reread = zoret::parse_json(text);
  ZORET_FUZZ_CHECK(reread.has_value());
  const auto from_text = zoret::SEOPayload::from_dict(*reread);
  ZORET_FUZZ_CHECK(from_text && *from_text == *payload);
  ZORET_FUZZ_CHECK(zoret::to_json_pretty(*from_text) == text);

  const auto hash = zoret::hash_payload(*payload);
  const auto hash_again = zoret::hash_payload(*from_text);
  ZORET_FUZZ_CHECK(hash && hash_again && *hash == *hash_again);
  const auto hash_from_text = zoret::hash_payload(*payload, jsonld);
  ZORET_FUZZ_CHECK(hash_from_text && *hash_from_text == *hash);

  // The head snippet holds the JSON-LD element exactly when there is JSON-LD.
  const std::string html = zoret::render_html(*payload);
  ZORET_FUZZ_CHECK(zoret::render_html(*payload, jsonld) == html);
  ZORET_FUZZ_CHECK(zoret::render_jsonld(*payload, jsonld) == zoret::render_jsonld(*payload));
  ZORET_FUZZ_CHECK((html.find("<script type=\"application/ld+json\">") != std::string::npos) ==
                   payload->schema_jsonld.has_value());
  return 0;
}
