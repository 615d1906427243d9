#include "zoret/jsonld/breadcrumbs.hpp"

#include "zoret/url/public_url.hpp"

namespace zoret {

Result<Json> build_breadcrumb_list(const std::vector<Breadcrumb>& breadcrumbs,
                                   const SEOConfig& config) {
  Json::array_t items;
  items.reserve(breadcrumbs.size());
  std::uint64_t position = 0;
  for (const Breadcrumb& crumb : breadcrumbs) {
    auto url = normalize_public_url(crumb.url, config);
    if (!url) return std::move(url).error();
    items.push_back(Json::object({
        {"@type", "ListItem"},
        {"position", json_uint(++position)},
        {"name", crumb.name},
        {"item", *std::move(url)},
    }));
  }
  return Json::object({
      {"@context", "https://schema.org"},
      {"@type", "BreadcrumbList"},
      {"itemListElement", std::move(items)},
  });
}

}  // namespace zoret
