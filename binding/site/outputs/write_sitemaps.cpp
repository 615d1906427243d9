// write_sitemaps(entries, config, directory, *, gzip=False, gzip_level=6,
//                basename='sitemap', public_path='/', require_self_alternate=True,
//                max_urls_per_file=50000, max_bytes_per_file=52428800) -> list[str]
//
// Entries are taken from the iterable one at a time and handed to the core writer,
// so the set is never held in memory. The first bad entry, an exception of the
// iterable or a file-system failure ends the call with the old set untouched.
#include <cerrno>
#include <string>

#include "frame/bind.hpp"
#include "outputs.hpp"
#include "types/model.hpp"
#include "zoret/site/sitemap.hpp"

namespace zoret::py {
namespace {

/// A path as str, bytes or os.PathLike, in the file system's encoding.
struct PathArg {
  std::string& out;
};

bool convert(PyObject* obj, PathArg& target) {
  PyObject* converted = nullptr;
  if (PyUnicode_FSConverter(obj, &converted) == 0) return false;
  Ref bytes = Ref::steal(converted);
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) < 0) return false;
  target.out.assign(data, static_cast<std::size_t>(size));
  return true;
}

/// A count option; the core refuses values out of its range with a clear message.
struct CountArg {
  std::size_t& out;
};

bool convert(PyObject* obj, CountArg& target) {
  std::uint64_t value = 0;
  if (!py::convert(obj, value)) return false;
  target.out = static_cast<std::size_t>(value);
  return true;
}

PyObject* fs_path(std::string_view path) {
  return PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
}

// FileNotFoundError, PermissionError, ... chosen by errno, with the path as filename
// and the operating system's text, as the built-in file functions raise them.
PyObject* raise_os_failure(const site::SitemapOsError& failure) {
  Ref filename = Ref::steal(fs_path(failure.path));
  if (!filename) return nullptr;
  errno = failure.code;
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.get());
  add_note("while writing sitemaps; the files of the previous set were left in place");
  return nullptr;
}

PyObject* raise_writer_error(const site::SitemapWriter& writer, const ZoretError& error) {
  if (writer.os_error()) return raise_os_failure(*writer.os_error());
  return raise_by_kind(error);
}

/// Names the entry whose route could not be converted, counting from 1 as the
/// writer's own messages do; the repr shows a lone surrogate as an escape.
void note_entry(std::uint64_t number, PyObject* item) {
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  std::string note = "while processing sitemap entry " + std::to_string(number);
  Ref shown = Ref::steal(PyObject_ASCII(item));
  std::string_view text;
  if (shown && py::convert(shown.get(), text) && text.size() <= 200) {
    note += " (";
    note.append(text);
    note += ')';
  }
  PyErr_Clear();
  PyErr_Restore(type, value, traceback);
  add_note(note);
}

/// Adds one item: a route string or a SitemapEntry.
bool add_item(site::SitemapWriter& writer, PyObject* item, std::uint64_t number) {
  site::SitemapEntry entry;
  if (PyUnicode_Check(item)) {
    if (!py::convert(item, entry.route)) {
      note_entry(number, item);
      return false;
    }
  } else if (Box<SitemapEntryValue>::is_instance(item)) {
    const SitemapEntryValue& value = Box<SitemapEntryValue>::of(item);
    entry.route = value.route;
    if (value.lastmod) entry.lastmod = std::string_view(*value.lastmod);
    entry.alternates = value.alternates;
    entry.images = value.images;
  } else {
    raise_type_error("sitemap entry " + std::to_string(number) +
                     ": expected a route (str) or a SitemapEntry, got '" + type_name(item) + "'");
    return false;
  }
  auto added = writer.add(entry);
  if (!added) {
    raise_writer_error(writer, added.error());
    return false;
  }
  return true;
}

constexpr const char* kParams[] = {"entries",
                                   "config",
                                   "directory",
                                   "gzip",
                                   "gzip_level",
                                   "basename",
                                   "public_path",
                                   "require_self_alternate",
                                   "max_urls_per_file",
                                   "max_bytes_per_file"};
constexpr Signature kSig{"write_sitemaps", kParams, 3, 3};

PyObject* write_sitemaps(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guard([&]() -> PyObject* {
    PyObject* entries = nullptr;
    const SEOConfig* config = nullptr;
    std::string directory;
    site::SitemapOptions options;
    PathArg directory_arg{directory};
    CountArg max_urls{options.max_urls_per_file};
    CountArg max_bytes{options.max_bytes_per_file};
    if (!bind<kSig>(CallArgs(args, nargs, kwnames), entries, config, directory_arg, options.gzip,
                    options.gzip_level, options.basename, options.public_path,
                    options.require_self_alternate, max_urls, max_bytes))
      return nullptr;
    Ref iterator = Ref::steal(PyObject_GetIter(entries));
    if (!iterator) {
      add_processing_note("entries");
      return nullptr;
    }
    site::SitemapOsError open_failure;
    auto created = site::SitemapWriter::create(directory, site::UrlResolver(*config),
                                               std::move(options), &open_failure);
    if (!created) {
      return open_failure.code != 0 ? raise_os_failure(open_failure)
                                    : raise_by_kind(created.error());
    }
    site::SitemapWriter writer = *std::move(created);
    std::uint64_t number = 0;
    // Any return below before `finish` drops the writer, which removes its temporaries.
    while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
      ++number;
      if (!add_item(writer, item.get(), number)) return nullptr;
      // A list runs no Python code between items, so Ctrl-C is looked for here.
      if (number % 4096 == 0 && PyErr_CheckSignals() < 0) return nullptr;
    }
    if (PyErr_Occurred()) return nullptr;  // the iterable's own exception, unchanged
    auto report = writer.finish();
    if (!report) return raise_writer_error(writer, report.error());
    Ref paths = Ref::steal(PyList_New(0));
    if (!paths) return nullptr;
    for (const std::string& path : report->written) {
      Ref text = Ref::steal(fs_path(path));
      if (!text || PyList_Append(paths.get(), text.get()) < 0) return nullptr;
    }
    return paths.release();
  });
}

}  // namespace

const PyMethodDef kWriteSitemapsDef = fast_def(
    "write_sitemaps", write_sitemaps,
    "write_sitemaps(entries, config, directory, *, gzip=False, gzip_level=6, "
    "basename='sitemap', public_path='/', require_self_alternate=True, "
    "max_urls_per_file=50000, max_bytes_per_file=52428800)\n--\n\n"
    "Writes a sitemap set (sitemaps.org 0.9) into `directory` and returns its paths.\n\n"
    "`entries` is any iterable of routes (str) or SitemapEntry objects, read one at a\n"
    "time: memory does not grow with the number of URLs. Every URL goes through the\n"
    "configuration's public-URL resolver, as the canonical link does. Files split at\n"
    "50,000 URLs or 50 MB; with more than one, `<basename>.xml` is the index (its\n"
    "locations under `public_path`) and comes first in the result.\n"
    "Nothing is replaced until the whole set is written. The first entry that cannot\n"
    "be written raises (EntityError, InvalidUrlError or ConfigurationError naming the\n"
    "entry, counted from 1; TypeError for an item of another type), as does an\n"
    "exception of `entries` itself, which passes through unchanged; a file-system\n"
    "failure raises OSError (errno and filename set). Each leaves the previous set as\n"
    "it was.");

}  // namespace zoret::py
