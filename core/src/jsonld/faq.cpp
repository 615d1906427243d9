#include "zoret/jsonld/faq.hpp"

namespace zoret {

Json build_faq_page(const SchemaContext& context) {
  Json out = base_schema("FAQPage", context);
  if (const auto& items = context.entity.faq_items) {
    Json::array_t questions;
    questions.reserve(items->size());
    // Built member by member, like base_schema: no temporary pair arrays.
    for (const FAQItem& item : *items) {
      Json::object_t answer;
      answer.emplace("@type", "Answer");
      answer.emplace("text", item.answer);
      Json::object_t question;
      question.emplace("@type", "Question");
      question.emplace("name", item.question);
      question.emplace("acceptedAnswer", std::move(answer));
      questions.emplace_back(std::move(question));
    }
    out["mainEntity"] = std::move(questions);
  }
  return out;
}

}  // namespace zoret
