#include "outputs.hpp"
#include "parts.hpp"

namespace zoret::py {

SiteFamily outputs_family() {
  static PyType_Spec* const kClasses[] = {sitemap_entry_spec()};
  static PyMethodDef kFunctions[] = {
      kWriteSitemapsDef, kRenderRobotsDef, kRenderHreflangDef, kResponseHeadersDef, {},
  };
  return {kClasses, kFunctions};
}

}  // namespace zoret::py
