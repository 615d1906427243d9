#include "zoret/jsonld/website.hpp"

namespace zoret {

Json build_website(std::string_view type, const SchemaContext& context) {
  Json out = base_schema(type, context);
  const auto& tmpl = context.config.search_url_template;
  // A template without the placeholder cannot take a query, so it is ignored
  // rather than reported; validation is not this builder's concern.
  if (type == "WebSite" && tmpl && tmpl->find("{search_term_string}") != std::string::npos) {
    out["potentialAction"] = Json::object({
        {"@type", "SearchAction"},
        {"target", Json::object({{"@type", "EntryPoint"}, {"urlTemplate", *tmpl}})},
        {"query-input", "required name=search_term_string"},
    });
  }
  return out;
}

}  // namespace zoret
