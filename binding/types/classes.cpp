#include "types/classes.hpp"

namespace zoret::py {

std::vector<ClassDef> all_classes() {
  return {
      og_payload_class(),
      author_class(),
      issue_class(),
      payload_class(),
      twitter_payload_class(),
  };
}

}  // namespace zoret::py
