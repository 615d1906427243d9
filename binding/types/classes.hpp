#pragma once

#include <vector>

#include "box.hpp"

namespace zoret::py {

/// Every class of the module in registration order.
std::vector<ClassDef> all_classes();

}  // namespace zoret::py
