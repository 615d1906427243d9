#include "zoret/jsonld/faq.hpp"

#include "jsonld/members.hpp"

namespace zoret {

Json build_faq_page(const SchemaContext& context) {
  Json out = base_schema("FAQPage", context);
  if (const auto& items = context.entity.faq_items) {
    Json::array_t questions;
    questions.reserve(items->size());
    // Built member by member, like base_schema: no temporary pair arrays.
    for (const FAQItem& item : *items) {
      Json::object_t answer;
      detail::add_last(answer, "@type", "Answer");
      detail::add_last(answer, "text", item.answer);
      Json::object_t question;
      detail::add_last(question, "@type", "Question");
      detail::add_last(question, "acceptedAnswer", std::move(answer));
      detail::add_last(question, "name", item.question);
      questions.emplace_back(std::move(question));
    }
    out["mainEntity"] = std::move(questions);
  }
  return out;
}

}  // namespace zoret
