#pragma once

// The site outputs family of zoret._zoret_site: sitemaps, robots.txt, hreflang links
// and the response headers of payloads, each a thin call into core/site.

#include <Python.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/box.hpp"
#include "zoret/site/hreflang.hpp"

namespace zoret::py {

/// What a Python SitemapEntry holds: the route as given, the lastmod already in the
/// form the sitemap schema validates, alternates with canonical language tags.
struct SitemapEntryValue {
  std::string route;
  std::optional<std::string> lastmod;
  std::vector<site::LanguageAlternate> alternates;
  std::vector<std::string> images;
};
template <>
inline constexpr const char* kClassName<SitemapEntryValue> = "SitemapEntry";

/// (language, route) pairs from a sequence of 2-tuples or a mapping of language to
/// route, in the given order.
struct AlternatesArg {
  std::vector<site::LanguageAlternate>& out;
};
bool convert(PyObject* obj, AlternatesArg& target);

/// Attaches `note` to the pending exception (as `BaseException.add_note`).
void add_note(std::string_view note);

PyType_Spec* sitemap_entry_spec();
extern const PyMethodDef kWriteSitemapsDef;
extern const PyMethodDef kRenderRobotsDef;
extern const PyMethodDef kRenderHreflangDef;
extern const PyMethodDef kResponseHeadersDef;

}  // namespace zoret::py
