// Contract(contract)                     from an SEOContract, compiled once
// Contract.from_json(text)  Contract.from_file(path)
//   .contract -> SEOContract (a copy)
//   check(route, page, config=None) -> list[Violation]
//   check_report(route, page, config=None) -> CheckReport
//   explain(route) -> Explanation;  lint() -> list[LintFinding];  to_json() -> str
//   repr();  pickled as Contract.from_json(to_json())
#include "types/contract.hpp"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "check/check_classes.hpp"
#include "frame/bind.hpp"
#include "types/model.hpp"
#include "types/payload.hpp"
#include "zoret/check/contract_reader.hpp"
#include "zoret/check/route_pattern.hpp"
#include "zoret/contract/builder.hpp"

namespace zoret::py {
namespace {

// The conversions below add to the frame's, which they would otherwise hide.
using py::convert;

// Contract files are a few kilobytes; anything this large is not one.
constexpr std::size_t kMaxContractFileBytes = 64U << 20;

const CompiledContract& compiled_of(PyObject* self) { return Box<CompiledContract>::of(self); }

/// Compiles `contract` into a new object of `type`; errors raise ContractError with
/// `where` before them (a file name), when given.
PyObject* compile_into(PyTypeObject* type, const SEOContract& contract, std::string_view where) {
  auto compiled = compile_contract(contract);
  if (!compiled) {
    if (where.empty()) return raise_by_kind(compiled.error());
    return raise_by_kind(
        ZoretError(ErrorKind::Contract, std::string(where) + ": " + compiled.error().message()));
  }
  return Box<CompiledContract>::create(type, *std::move(compiled));
}

constexpr const char* kNewParams[] = {"contract"};
constexpr Signature kNewSig{"Contract.__new__", kNewParams, 1, 1};

PyObject* contract_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    const SEOContract* contract = nullptr;
    if (!bind<kNewSig>(CallArgs(args, kwargs), contract)) return nullptr;
    return compile_into(type, *contract, {});
  });
}

constexpr const char* kFromJsonParams[] = {"text"};
constexpr Signature kFromJsonSig{"Contract.from_json", kFromJsonParams, 1, 1};

PyObject* contract_from_json(PyObject* cls, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view text;
    if (!bind<kFromJsonSig>(CallArgs(args, nargs, kwnames), text)) return nullptr;
    auto contract = read_contract(text);
    if (!contract) return raise_by_kind(contract.error());
    return compile_into(reinterpret_cast<PyTypeObject*>(cls), *contract, {});
  });
}

/// A file path: str, bytes or os.PathLike, as the file system names it and as shown.
struct FilePath {
  Ref encoded;  // bytes
  Ref shown;    // str
};

bool convert(PyObject* obj, FilePath& path) {
  PyObject* encoded = nullptr;
  PyObject* shown = nullptr;
  if (PyUnicode_FSConverter(obj, &encoded) == 0) return false;
  path.encoded = Ref::steal(encoded);
  if (PyUnicode_FSDecoder(obj, &shown) == 0) return false;
  path.shown = Ref::steal(shown);
  return true;
}

/// The bytes of the file, or nullptr with OSError (or ContractError when too large).
bool read_file(const FilePath& path, std::string& out) {
  const char* name = PyBytes_AsString(path.encoded.get());
  if (name == nullptr) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name, "rb"), &std::fclose);
  if (!file) {
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.shown.get());
    return false;
  }
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    out.append(buffer, got);
    if (out.size() > kMaxContractFileBytes) {
      PyErr_Format(exception_class(ErrorKind::Contract), "%U: larger than %zu MiB: not a contract",
                   path.shown.get(), static_cast<std::size_t>(kMaxContractFileBytes >> 20));
      return false;
    }
  }
  if (std::ferror(file.get()) != 0) {
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.shown.get());
    return false;
  }
  return true;
}

constexpr const char* kFromFileParams[] = {"path"};
constexpr Signature kFromFileSig{"Contract.from_file", kFromFileParams, 1, 1};

PyObject* contract_from_file(PyObject* cls, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    FilePath path;
    if (!bind<kFromFileSig>(CallArgs(args, nargs, kwnames), path)) return nullptr;
    std::string text;
    if (!read_file(path, text)) return nullptr;
    Py_ssize_t size = 0;
    const char* shown = PyUnicode_AsUTF8AndSize(path.shown.get(), &size);
    // A name that is not UTF-8 is shown with replacement characters.
    std::string where;
    if (shown != nullptr) {
      where.assign(shown, static_cast<std::size_t>(size));
    } else {
      PyErr_Clear();
      Ref bytes = Ref::steal(PyUnicode_AsEncodedString(path.shown.get(), "utf-8", "replace"));
      if (!bytes) return nullptr;
      where = PyBytes_AsString(bytes.get());
    }
    auto contract = read_contract(text);
    if (!contract) {
      return raise_by_kind(
          ZoretError(ErrorKind::Contract, where + ": " + contract.error().message()));
    }
    return compile_into(reinterpret_cast<PyTypeObject*>(cls), *contract, where);
  });
}

/// The page of a check: a payload or the facts of a page.
struct Page {
  const SEOPayload* payload = nullptr;
  const PageFacts* facts = nullptr;
};

bool convert(PyObject* obj, Page& page) {
  if (Box<SEOPayload>::is_instance(obj)) {
    page.payload = &Box<SEOPayload>::of(obj);
    return true;
  }
  if (Box<PageFacts>::is_instance(obj)) {
    page.facts = &Box<PageFacts>::of(obj);
    return true;
  }
  raise_type_error("'" + type_name(obj) +
                   "' object is not an instance of 'SEOPayload' or 'PageFacts'");
  return false;
}

Result<CheckResult> run_check(const CompiledContract& contract, std::string_view route,
                              const Page& page, const SEOConfig* config) {
  const CheckContext context{config};
  if (page.payload != nullptr) return check_payload(contract, *page.payload, route, context);
  if (route_path(route) == page.facts->route) return check(contract, *page.facts, context);
  // The route argument decides which rules apply, whatever route the facts name.
  PageFacts facts = *page.facts;
  facts.route = route_path(route);
  return check(contract, facts, context);
}

constexpr const char* kCheckParams[] = {"route", "page", "config"};
constexpr Signature kCheckSig{"Contract.check", kCheckParams, 3, 2};
constexpr Signature kCheckReportSig{"Contract.check_report", kCheckParams, 3, 2};

template <const Signature& Sig, bool Report>
PyObject* contract_check(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view route;
    Page page;
    std::optional<const SEOConfig*> config;
    if (!bind<Sig>(CallArgs(args, nargs, kwnames), route, page, config)) return nullptr;
    auto result = run_check(compiled_of(self), route, page, config.value_or(nullptr));
    if (!result) return raise_by_kind(result.error());
    if constexpr (Report) {
      return Box<CheckReportValue>::create_in(
          module_of(self),
          CheckReportValue{std::move(result->violations), 1, result->constraints_checked,
                           std::move(result->not_checked)});
    } else {
      return list_in(module_of(self), result->violations);
    }
  });
}

constexpr const char* kExplainParams[] = {"route"};
constexpr Signature kExplainSig{"Contract.explain", kExplainParams, 1, 1};

PyObject* contract_explain(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    std::string_view route;
    if (!bind<kExplainSig>(CallArgs(args, nargs, kwnames), route)) return nullptr;
    return Box<Explanation>::create_in(module_of(self), explain(compiled_of(self), route));
  });
}

PyObject* contract_lint(PyObject* self) {
  return list_in(module_of(self), lint_contract(compiled_of(self).contract()));
}

PyObject* contract_json(PyObject* self) {
  return to_py(std::string_view(contract_to_json(compiled_of(self).contract())));
}

PyObject* contract_record(PyObject* self, void*) {
  return guard([&]() -> PyObject* {
    Ref native = Ref::steal(native_module());
    return native ? Box<SEOContract>::create_in(native.get(), compiled_of(self).contract())
                  : nullptr;
  });
}

PyObject* contract_reduce(PyObject* self) {
  Ref text = Ref::steal(contract_json(self));
  Ref from_json = text ? Ref::steal(PyObject_GetAttrString(
                             reinterpret_cast<PyObject*>(Py_TYPE(self)), "from_json"))
                       : Ref();
  Ref args = from_json ? Ref::steal(PyTuple_Pack(1, text.get())) : Ref();
  return args ? PyTuple_Pack(2, from_json.get(), args.get()) : nullptr;
}

PyObject* contract_repr(PyObject* self) {
  return guard([&]() -> PyObject* {
    const SEOContract& c = compiled_of(self).contract();
    const std::string text = "<Contract for " + c.site.scheme + "://" + c.site.canonical_host +
                             ": " + std::to_string(c.rules.size()) + " rules, " +
                             std::to_string(c.exceptions.size()) + " exceptions>";
    return to_py(text);
  });
}

inline PyMethodDef class_method(const char* name, FastFunction fn, const char* doc) {
  PyMethodDef def = fast_def(name, fn, doc);
  def.ml_flags |= METH_CLASS;
  return def;
}

PyMethodDef kMethods[] = {
    class_method("from_json", contract_from_json,
                 "from_json($type, /, text)\n--\n\n"
                 "The contract in `text`, as SEOContract.to_json() writes it.\n\n"
                 "The reader is strict: contract_version must be \"1\"; unknown keys, wrong\n"
                 "types and unknown severities are refused. Raises ContractError naming the\n"
                 "problem with its line and column, or the first value that cannot be checked\n"
                 "(an invalid regular expression, an unreadable canonical)."),
    class_method("from_file", contract_from_file,
                 "from_file($type, /, path)\n--\n\n"
                 "The contract in the file at `path` (str, bytes or os.PathLike).\n\n"
                 "As from_json(), with the file's name before each ContractError; OSError\n"
                 "(FileNotFoundError, ...) when the file cannot be read."),
    fast_def("check", contract_check<kCheckSig, false>,
             "check($self, /, route, page, config=None)\n--\n\n"
             "The violations of the constraints in force for `route` on `page`.\n\n"
             "page is an SEOPayload or PageFacts; route (query and fragment ignored)\n"
             "decides which rules apply. With config (an SEOConfig), canonical \"self\"\n"
             "means the route's public URL under that configuration; without it, the\n"
             "contract's site plus the route path. Raises InvalidUrlError for a route that\n"
             "is not a path, and the configuration's URL errors."),
    fast_def("check_report", contract_check<kCheckReportSig, true>,
             "check_report($self, /, route, page, config=None)\n--\n\n"
             "As check(), as a CheckReport that also counts the constraints checked and\n"
             "lists those the page cannot decide (sitemap, hreflang, HTTP status)."),
    fast_def("explain", contract_explain,
             "explain($self, /, route)\n--\n\n"
             "The layered expectation in force for `route`: which layers apply and the\n"
             "source of each constraint. str() of the result is readable text."),
    fast_def("lint", no_args<"Contract.lint", contract_lint>,
             "lint($self, /)\n--\n\n"
             "What in the contract cannot work as written (fields that mean nothing where\n"
             "they stand, contradictions, patterns that never match), as LintFindings."),
    fast_def("to_json", no_args<"Contract.to_json", contract_json>,
             "to_json($self, /)\n--\n\nThe contract as JSON text, as SEOContract.to_json()."),
    fast_def("__reduce__", no_args<"Contract.__reduce__", contract_reduce>,
             "__reduce__($self, /)\n--\n\nPickles the contract as its JSON text."),
    {},
};

PyGetSetDef kProperties[] = {
    {"contract", contract_record, nullptr, "The contract as a new SEOContract.", nullptr},
    {},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "Contract(contract)\n--\n\n"
                    "An SEO contract prepared for checking pages: route patterns and regular\n"
                    "expressions compiled once. Made from an SEOContract here, or with\n"
                    "Contract.from_json() / Contract.from_file(). Immutable; raises ContractError\n"
                    "for a value that cannot be checked.")},
    {Py_tp_new, reinterpret_cast<void*>(&contract_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<CompiledContract>::dealloc)},
    {Py_tp_methods, kMethods},
    {Py_tp_getset, kProperties},
    {Py_tp_repr, reinterpret_cast<void*>(&contract_repr)},
    {0, nullptr},
};

PyType_Spec kSpec = {"zoret._zoret_site.Contract", sizeof(Box<CompiledContract>), 0,
                     kFinalClassFlags, kSlots};

}  // namespace

PyType_Spec* contract_check_spec() { return &kSpec; }

}  // namespace zoret::py
