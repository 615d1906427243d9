#include "zoret/jsonld/breadcrumbs.hpp"

#include "jsonld/members.hpp"

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
    detail::add_last(item, "@type", "ListItem");
    detail::add_last(item, "item", *std::move(url));
    detail::add_last(item, "name", crumb.name);
    detail::add_last(item, "position", json_uint(++position));
    items.emplace_back(std::move(item));
  }
  Json::object_t list;
  detail::add_last(list, "@context", "https://schema.org");
  detail::add_last(list, "@type", "BreadcrumbList");
  detail::add_last(list, "itemListElement", std::move(items));
  return Json(std::move(list));
}

Result<Json> build_breadcrumb_list(const std::vector<Breadcrumb>& breadcrumbs,
                                   const SEOConfig& config) {
  return build_breadcrumb_list(breadcrumbs, PublicUrlResolver(config));
}

}  // namespace zoret
