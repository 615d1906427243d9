// The site audit family of zoret._zoret_site: rule configuration, page summaries,
// the page and site rules, and the tables they are documented from.
#include "audit/audit_classes.hpp"
#include "parts.hpp"

namespace zoret::py {

SiteFamily audit_family() {
  static PyType_Spec* const kClasses[] = {audit_rules_spec(), page_summary_spec()};
  static PyMethodDef kFunctions[] = {
      kAuditPageDef,
      kPageSummaryDef,
      kAuditSiteDef,
      kSortAuditFindingsDef,
      kAuditRuleTableDef,
      kRichResultProfilesDef,
      {},
  };
  return {kClasses, kFunctions};
}

}  // namespace zoret::py
