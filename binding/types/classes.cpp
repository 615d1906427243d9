#include "types/classes.hpp"

namespace zoret::py {

std::vector<ClassDef> all_classes() {
  return {
      author_class(),
      contract_class(),
      contract_config_class(),
      contract_rule_class(),
      expectation_class(),
  };
}

}  // namespace zoret::py
