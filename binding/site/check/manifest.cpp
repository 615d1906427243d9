// ManifestChecker(contract, config)
//   check_line(line) -> tuple[str, list[Violation]]      (ValueError for a bad line)
//   tally() -> dict                                       totals of the lines checked
// read_manifest_line(line) -> tuple[str, SEOEntity, SEOOverrides | None]
// snapshot_manifest_line(line, config) -> tuple[str, str, str]
//
// A line is bytes or str, one line of a JSON Lines file without its line break.
#include <utility>

#include "check/check_classes.hpp"
#include "frame/bind.hpp"
#include "frame/dict_builder.hpp"
#include "types/model.hpp"

namespace zoret::py {
namespace {

// The conversions below add to the frame's, which they would otherwise hide.
using py::convert;

struct Line {
  std::string_view text;
};

// Bytes are read in place; a str is read as its UTF-8 (lone surrogates refused).
bool convert(PyObject* obj, Line& line) {
  if (PyBytes_Check(obj)) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(obj, &data, &size) < 0) return false;
    line.text = std::string_view(data, static_cast<std::size_t>(size));
    return true;
  }
  if (PyUnicode_Check(obj)) return convert(obj, line.text);
  raise_type_error("'" + type_name(obj) + "' object cannot be converted to 'bytes' or 'str'");
  return false;
}

PyObject* raise_line_error(const ZoretError& error) {
  return raise_message_as_value_error(error.message());
}

// --- ManifestChecker -----------------------------------------------------------------

ManifestRun& run_of(PyObject* self) { return Box<ManifestRun>::of(self); }

constexpr const char* kNewParams[] = {"contract", "config"};
constexpr Signature kNewSig{"ManifestChecker.__new__", kNewParams, 2, 2};

PyObject* checker_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    const CompiledContract* contract = nullptr;
    const SEOConfig* config = nullptr;
    if (!bind<kNewSig>(CallArgs(args, kwargs), contract, config)) return nullptr;
    return Box<ManifestRun>::create(type, ManifestRun{*contract, *config, {}});
  });
}

constexpr const char* kLineParams[] = {"line"};
constexpr Signature kCheckLineSig{"ManifestChecker.check_line", kLineParams, 1, 1};

PyObject* checker_check_line(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    Line line;
    if (!bind<kCheckLineSig>(CallArgs(args, nargs, kwnames), line)) return nullptr;
    ManifestRun& run = run_of(self);
    auto checked = check_manifest_line(run.contract, run.config, line.text);
    if (!checked) return raise_line_error(checked.error());
    run.tally.add(checked->result);
    Ref route = Ref::steal(to_py(checked->route));
    Ref violations = Ref::steal(list_in(module_of(self), checked->result.violations));
    return route && violations ? PyTuple_Pack(2, route.get(), violations.get()) : nullptr;
  });
}

PyObject* checker_tally(PyObject* self) {
  const CheckTally& tally = run_of(self).tally;
  Ref not_checked = Ref::steal(PyList_New(0));
  if (!not_checked) return nullptr;
  for (const NotCheckedCount& item : tally.not_checked) {
    Ref entry = Ref::steal(DictBuilder()
                               .add("field", item.field)
                               .add("source", item.source)
                               .add("reason", item.reason)
                               .add("routes", std::uint64_t{item.routes})
                               .finish());
    if (!entry || PyList_Append(not_checked.get(), entry.get()) < 0) return nullptr;
  }
  Ref violations = Ref::steal(DictBuilder()
                                  .add("error", std::uint64_t{tally.violations[0]})
                                  .add("warning", std::uint64_t{tally.violations[1]})
                                  .add("info", std::uint64_t{tally.violations[2]})
                                  .finish());
  Ref out = Ref::steal(DictBuilder()
                           .add("routes", std::uint64_t{tally.routes})
                           .add("constraints", std::uint64_t{tally.constraints})
                           .finish());
  if (!violations || !out || PyDict_SetItemString(out.get(), "violations", violations.get()) < 0 ||
      PyDict_SetItemString(out.get(), "not_checked", not_checked.get()) < 0)
    return nullptr;
  return out.release();
}

PyMethodDef kCheckerMethods[] = {
    fast_def("check_line", checker_check_line,
             "check_line($self, /, line)\n--\n\n"
             "Reads one manifest line (bytes or str, without its line break), builds the\n"
             "page's payload with the site configuration and checks it: (route, violations).\n\n"
             "The line is {\"route\": ..., \"entity\": {...}, \"overrides\": {...}} with the\n"
             "entity and overrides in the forms of zoret.forms. A line that cannot be read or\n"
             "built raises ValueError naming the problem, and counts for nothing."),
    fast_def("tally", no_args<"ManifestChecker.tally", checker_tally>,
             "tally($self, /)\n--\n\n"
             "Totals of the lines checked so far: {'routes': n, 'constraints': n,\n"
             "'violations': {'error': n, 'warning': n, 'info': n}, 'not_checked': [{'field',\n"
             "'source', 'reason', 'routes'}]}."),
    {},
};

PyType_Slot kCheckerSlots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "ManifestChecker(contract, config)\n--\n\n"
         "Checks the lines of a route manifest one by one against a Contract, building\n"
         "each payload with an SEOConfig (copied; its hooks and schema registry are not\n"
         "used, nor are warnings emitted), and keeps the totals. Memory does not grow\n"
         "with the number of lines.")},
    {Py_tp_new, reinterpret_cast<void*>(&checker_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&Box<ManifestRun>::dealloc)},
    {Py_tp_methods, kCheckerMethods},
    {0, nullptr},
};

PyType_Spec kCheckerSpec = {"zoret._zoret_site.ManifestChecker", sizeof(Box<ManifestRun>), 0,
                            kFinalClassFlags, kCheckerSlots};

// --- functions ---------------------------------------------------------------------

constexpr Signature kReadSig{"read_manifest_line", kLineParams, 1, 1};

PyObject* read_line_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    Line line;
    if (!bind<kReadSig>(CallArgs(args, nargs, kwnames), line)) return nullptr;
    auto entry = read_manifest_line(line.text);
    if (!entry) return raise_line_error(entry.error());
    Ref native = Ref::steal(native_module());
    if (!native) return nullptr;
    Ref route = Ref::steal(to_py(entry->route));
    Ref entity = Ref::steal(Box<SEOEntity>::create_in(native.get(), std::move(entry->entity)));
    Ref overrides =
        entry->overrides
            ? Ref::steal(Box<SEOOverrides>::create_in(native.get(), *std::move(entry->overrides)))
            : Ref::borrow(Py_None);
    if (!route || !entity || !overrides) return nullptr;
    return PyTuple_Pack(3, route.get(), entity.get(), overrides.get());
  });
}

constexpr const char* kSnapshotParams[] = {"line", "config"};
constexpr Signature kSnapshotSig{"snapshot_manifest_line", kSnapshotParams, 2, 2};

PyObject* snapshot_line_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    Line line;
    const SEOConfig* config = nullptr;
    if (!bind<kSnapshotSig>(CallArgs(args, nargs, kwnames), line, config)) return nullptr;
    auto snapshot = snapshot_manifest_line(*config, line.text);
    if (!snapshot) return raise_line_error(snapshot.error());
    return tuple_of(snapshot->route, snapshot->hash, snapshot->text);
  });
}

}  // namespace

PyType_Spec* manifest_checker_spec() { return &kCheckerSpec; }

PyMethodDef kReadManifestLineDef =
    fast_def("read_manifest_line", read_line_fn,
             "read_manifest_line(line)\n--\n\n"
             "The (route, SEOEntity, SEOOverrides or None) of one manifest line.\n\n"
             "ValueError names what cannot be read, in the words zoret.forms uses for the same\n"
             "entity and overrides given as dictionaries.");

PyMethodDef kSnapshotManifestLineDef = fast_def(
    "snapshot_manifest_line", snapshot_line_fn,
    "snapshot_manifest_line(line, config)\n--\n\n"
    "Builds the payload of one manifest line: (route, hash, snapshot line).\n\n"
    "The snapshot line is compact JSON {\"route\": ..., \"hash\": ..., \"payload\": {...}}: the\n"
    "hash is SEOPayload.hash() and the payload its field-by-field form, the text hashed.\n"
    "ValueError for a line that cannot be read or built.");

}  // namespace zoret::py
