#include "parts.hpp"

namespace zoret::py {

std::span<const SiteFamily> site_families() {
  static const SiteFamily kFamilies[] = {
      check_family(),
  };
  return kFamilies;
}

}  // namespace zoret::py
