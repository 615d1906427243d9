#include "zoret/jsonld/article.hpp"

#include "jsonld/members.hpp"

namespace zoret {

Json build_article(std::string_view type, const SchemaContext& context) {
  Json out = base_schema(type, context);
  Json::object_t page;
  detail::add_last(page, "@id", std::string(context.url));
  out["mainEntityOfPage"] = std::move(page);
  return out;
}

}  // namespace zoret
