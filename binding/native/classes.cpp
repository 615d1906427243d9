#include "classes.hpp"

namespace zoret::py {

std::vector<PyType_Spec*> all_classes() {
  return {
      breadcrumb_spec(),         // Breadcrumb
      faq_item_spec(),           // FAQItem
      og_payload_spec(),         // OGPayload
      robots_spec(),             // Robots
      author_spec(),             // SEOAuthor
      config_spec(),             // SEOConfig
      contract_spec(),           // SEOContract
      contract_config_spec(),    // SEOContractConfig
      contract_rule_spec(),      // SEOContractRule
      entity_spec(),             // SEOEntity
      expectation_spec(),        // SEOExpectation
      image_spec(),              // SEOImage
      issue_spec(),              // SEOIssue
      overrides_spec(),          // SEOOverrides
      payload_spec(),            // SEOPayload
      schema_registry_spec(),    // SchemaRegistry
      twitter_payload_spec(),    // TwitterPayload
      url_policy_spec(),         // URLPolicy
  };
}

}  // namespace zoret::py
