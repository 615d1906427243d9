#include "types/classes.hpp"

namespace zoret::py {

std::vector<ClassDef> all_classes() {
  return {
      og_payload_class(),
      author_class(),
      contract_class(),
      contract_config_class(),
      contract_rule_class(),
      expectation_class(),
      issue_class(),
      payload_class(),
      schema_registry_class(),
      twitter_payload_class(),
  };
}

}  // namespace zoret::py
