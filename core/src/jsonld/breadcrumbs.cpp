#include "zoret/jsonld/breadcrumbs.hpp"

#include "zoret/url/public_url.hpp"

namespace zoret {

Result<Json> build_breadcrumb_list(const std::vector<Breadcrumb>& breadcrumbs,
                                   const PublicUrlResolver& resolver) {
  // Members go straight into the maps: Json::object({...}) would first build
  // each key-value pair as an array of its own, which dominated this function.
  Json::array_t items;
  items.reserve(breadcrumbs.size());
  std::uint64_t position = 0;
  for (const Breadcrumb& crumb : breadcrumbs) {
    auto url = resolver.resolve(crumb.url);
    if (!url) return std::move(url).error();
    Json::object_t item;
    item.emplace("@type", "ListItem");
    item.emplace("position", json_uint(++position));
    item.emplace("name", crumb.name);
    item.emplace("item", *std::move(url));
    items.emplace_back(std::move(item));
  }
  Json::object_t list;
  list.emplace("@context", "https://schema.org");
  list.emplace("@type", "BreadcrumbList");
  list.emplace("itemListElement", std::move(items));
  return Json(std::move(list));
}

Result<Json> build_breadcrumb_list(const std::vector<Breadcrumb>& breadcrumbs,
                                   const SEOConfig& config) {
  return build_breadcrumb_list(breadcrumbs, PublicUrlResolver(config));
}

}  // namespace zoret
