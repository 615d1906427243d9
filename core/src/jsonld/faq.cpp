#include "zoret/jsonld/faq.hpp"

namespace zoret {

Result<Json> build_faq_page(const SchemaContext& context) {
  auto out = base_schema("FAQPage", context);
  if (!out) return out;
  if (const auto& items = context.entity.faq_items) {
    Json::array_t questions;
    questions.reserve(items->size());
    for (const FAQItem& item : *items) {
      questions.push_back(Json::object({
          {"@type", "Question"},
          {"name", item.question},
          {"acceptedAnswer", Json::object({{"@type", "Answer"}, {"text", item.answer}})},
      }));
    }
    (*out)["mainEntity"] = std::move(questions);
  }
  return out;
}

}  // namespace zoret
