#include "zoret/jsonld/article.hpp"

namespace zoret {

Result<Json> build_article(std::string_view type, const SchemaContext& context) {
  auto out = base_schema(type, context);
  if (!out) return out;
  (*out)["mainEntityOfPage"] = Json::object({{"@id", std::string(context.url)}});
  return out;
}

}  // namespace zoret
