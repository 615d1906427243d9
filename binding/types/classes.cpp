#include "types/classes.hpp"

namespace zoret::py {

std::vector<ClassDef> all_classes() {
  return {
      breadcrumb_class(),         // Breadcrumb
      faq_item_class(),           // FAQItem
      og_payload_class(),         // OGPayload
      robots_class(),             // Robots
      author_class(),             // SEOAuthor
      config_class(),             // SEOConfig
      contract_class(),           // SEOContract
      contract_config_class(),    // SEOContractConfig
      contract_rule_class(),      // SEOContractRule
      entity_class(),             // SEOEntity
      expectation_class(),        // SEOExpectation
      image_class(),              // SEOImage
      issue_class(),              // SEOIssue
      overrides_class(),          // SEOOverrides
      payload_class(),            // SEOPayload
      schema_registry_class(),    // SchemaRegistry
      twitter_payload_class(),    // TwitterPayload
      url_policy_class(),         // URLPolicy
  };
}

}  // namespace zoret::py
