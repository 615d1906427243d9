#pragma once

#include <Python.h>

namespace zoret::py {

/// The functions of the records family: `_reconstruct`, which unpickles and copies
/// the records of _zoret_native that have no constructor.
PyMethodDef* record_functions();

}  // namespace zoret::py
