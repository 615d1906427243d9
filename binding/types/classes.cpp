#include "types/classes.hpp"

namespace zoret::py {

std::vector<ClassDef> all_classes() {
  return {
      author_class(),
  };
}

}  // namespace zoret::py
