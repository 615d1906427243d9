#pragma once

// The site audit family of zoret._zoret_site: the rule configuration, page
// summaries and the functions that run the page and site rules.

#include <Python.h>

#include "frame/box.hpp"
#include "zoret/audit/audit_rules.hpp"
#include "zoret/audit/page_summary.hpp"

namespace zoret::py {

template <>
inline constexpr const char* kClassName<AuditRules> = "AuditRules";
template <>
inline constexpr const char* kClassName<PageSummary> = "PageSummary";

PyType_Spec* audit_rules_spec();
PyType_Spec* page_summary_spec();

extern PyMethodDef kAuditPageDef;
extern PyMethodDef kPageSummaryDef;
extern PyMethodDef kAuditSiteDef;
extern PyMethodDef kSortAuditFindingsDef;
extern PyMethodDef kAuditRuleTableDef;
extern PyMethodDef kRichResultProfilesDef;

/// A rule argument: its id ("ZORET201") or name ("title-missing"); ValueError
/// for any other text.
struct RuleArg {
  AuditRule& out;
};
bool convert(PyObject* obj, RuleArg& rule);

}  // namespace zoret::py
