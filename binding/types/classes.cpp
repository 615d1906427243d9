#include "types/classes.hpp"

namespace zoret::py {

std::vector<ClassDef> all_classes() {
  return {
      breadcrumb_class(),
      faq_item_class(),
      robots_class(),
      author_class(),
      config_class(),
      entity_class(),
      image_class(),
      overrides_class(),
      url_policy_class(),
  };
}

}  // namespace zoret::py
