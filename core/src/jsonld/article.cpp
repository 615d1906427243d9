#include "zoret/jsonld/article.hpp"

namespace zoret {

Result<Json> build_article(std::string_view type, const SchemaContext& context) {
  auto out = base_schema(type, context);
  if (!out) return out;
  Json::object_t page;
  page.emplace("@id", std::string(context.url));
  (*out)["mainEntityOfPage"] = std::move(page);
  return out;
}

}  // namespace zoret
