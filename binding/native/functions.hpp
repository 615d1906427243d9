#pragma once

#include <Python.h>

namespace zoret::py {

// The nine module functions, one file per family under functions/.
extern const PyMethodDef kBuildSeoContractDef;
extern const PyMethodDef kBuildSeoPayloadDef;
extern const PyMethodDef kBuildSeoPayloadDictDef;
extern const PyMethodDef kBuildSeoPayloadWithOverridesDef;
extern const PyMethodDef kCleanQueryFnDef;
extern const PyMethodDef kCleanUrlFnDef;
extern const PyMethodDef kNormalizePathFnDef;
extern const PyMethodDef kNormalizePublicUrlFnDef;
extern const PyMethodDef kValidatePayloadDef;

}  // namespace zoret::py
