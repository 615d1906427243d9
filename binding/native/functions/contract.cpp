// build_seo_contract(config) -> SEOContract
#include "frame/bind.hpp"
#include "functions.hpp"
#include "types/contract.hpp"
#include "zoret/contract/builder.hpp"

namespace zoret::py {
namespace {

constexpr const char* kParams[] = {"config"};
constexpr Signature kSig{"build_seo_contract", kParams, 1, 1};

PyObject* build_seo_contract(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    const SEOContractConfig* config = nullptr;
    if (!bind<kSig>(CallArgs(args, nargs, kwnames), config)) return nullptr;
    return Box<SEOContract>::create_in(module, build_contract(*config));
  });
}

}  // namespace

const PyMethodDef kBuildSeoContractDef = fast_def(
    "build_seo_contract", build_seo_contract,
    "build_seo_contract(config)\n--\n\n"
    "Builds a machine-readable SEO contract.\n\n"
    "Returns a new SEOContract (version '1', generator zoret 0.2.0) holding the\n"
    "configuration's site, defaults, rules and exceptions unchanged. Raises\n"
    "TypeError when `config` is not an SEOContractConfig.");

}  // namespace zoret::py
