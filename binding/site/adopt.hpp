#pragma once

// The site module is a second extension built from the same frame. It takes the
// records of zoret._zoret_native as arguments (configurations, entities, payloads,
// contracts) and raises that module's exception classes, so that a user sees one
// ConfigurationError whichever module raised it.

#include <Python.h>

namespace zoret::py {

/// Imports zoret._zoret_native, accepts its classes' objects as arguments of this
/// module (by their dealloc slots: the layout of each record is the one both modules
/// are compiled from) and adopts its six exception classes. Returns -1 with a Python
/// exception set on failure.
int adopt_native_module();

}  // namespace zoret::py
