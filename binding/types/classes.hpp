#pragma once

#include <vector>

#include "box.hpp"

namespace zoret::py {

// One accessor per class, defined in the file of its family.
ClassDef author_class();
ClassDef breadcrumb_class();
ClassDef config_class();
ClassDef contract_class();
ClassDef contract_config_class();
ClassDef contract_rule_class();
ClassDef entity_class();
ClassDef expectation_class();
ClassDef faq_item_class();
ClassDef image_class();
ClassDef issue_class();
ClassDef og_payload_class();
ClassDef overrides_class();
ClassDef payload_class();
ClassDef robots_class();
ClassDef schema_registry_class();
ClassDef twitter_payload_class();
ClassDef url_policy_class();

/// Every class of the module in registration order.
std::vector<ClassDef> all_classes();

}  // namespace zoret::py
