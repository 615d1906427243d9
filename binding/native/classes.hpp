#pragma once

#include <Python.h>

#include <vector>

namespace zoret::py {

// The PyType_Spec of each class, defined in the file of its family.
PyType_Spec* author_spec();
PyType_Spec* breadcrumb_spec();
PyType_Spec* config_spec();
PyType_Spec* contract_spec();
PyType_Spec* contract_config_spec();
PyType_Spec* contract_rule_spec();
PyType_Spec* entity_spec();
PyType_Spec* expectation_spec();
PyType_Spec* faq_item_spec();
PyType_Spec* image_spec();
PyType_Spec* issue_spec();
PyType_Spec* og_payload_spec();
PyType_Spec* overrides_spec();
PyType_Spec* payload_spec();
PyType_Spec* robots_spec();
PyType_Spec* schema_registry_spec();
PyType_Spec* twitter_payload_spec();
PyType_Spec* url_policy_spec();

/// Every class of the module in registration order.
std::vector<PyType_Spec*> all_classes();

}  // namespace zoret::py
