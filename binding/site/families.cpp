#include "parts.hpp"

#include "records/records.hpp"

namespace zoret::py {

std::span<const SiteFamily> site_families() {
  static const SiteFamily kFamilies[] = {
      outputs_family(),
      check_family(),
      audit_family(),
      {{}, record_functions()},
  };
  return kFamilies;
}

}  // namespace zoret::py
