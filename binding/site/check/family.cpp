// The contract check family of zoret._zoret_site: pages' facts, contracts, their
// violations and reports, and the manifest readers of the command line.
#include "check/check_classes.hpp"
#include "parts.hpp"

namespace zoret::py {

SiteFamily check_family() {
  static PyType_Spec* const kClasses[] = {
      page_facts_spec(),   violation_spec(),   not_checked_spec(),    lint_finding_spec(),
      check_report_spec(), explanation_spec(), contract_check_spec(), manifest_checker_spec(),
  };
  static PyMethodDef kFunctions[] = {
      kFactsFromPayloadDef,
      kReadManifestLineDef,
      kSnapshotManifestLineDef,
      {},
  };
  return {kClasses, kFunctions};
}

}  // namespace zoret::py
