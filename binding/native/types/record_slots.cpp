#include "types/record_slots.hpp"

namespace zoret::py {

PyObject* site_reconstructor() {
  // Imported when first needed: pickling is the only use _zoret_native has for it.
  Ref site = Ref::steal(PyImport_ImportModule("zoret._zoret_site"));
  return site ? PyObject_GetAttrString(site.get(), "_reconstruct") : nullptr;
}

}  // namespace zoret::py
