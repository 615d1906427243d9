#pragma once

// What each family of the site module registers. A family lives in its own folder
// (check/, outputs/, ...) and adds its classes and functions here; module.cpp
// registers them in the order of this list.

#include <Python.h>

#include <span>

namespace zoret::py {

/// One family's contribution: its class specs and its functions (the function table
/// ends with a zeroed entry, as PyModule_AddFunctions expects, and lives as long as
/// the process).
struct SiteFamily {
  std::span<PyType_Spec* const> classes;
  PyMethodDef* functions;
};

SiteFamily outputs_family();  // outputs/: sitemaps, robots.txt, hreflang, headers
SiteFamily check_family();    // check/: contract checks, page facts, manifests
SiteFamily audit_family();    // audit/: site audit rules, page summaries

/// Every family of the module, in registration order.
std::span<const SiteFamily> site_families();

}  // namespace zoret::py
