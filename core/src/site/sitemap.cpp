#include "zoret/site/sitemap.hpp"

#include <algorithm>
#include <charconv>
#include <utility>

#include "site/output_file.hpp"
#include "site/staged_file.hpp"
#include "site/text_checks.hpp"
#include "zoret/site/lastmod.hpp"
#include "zoret/site/uri_reference.hpp"
#include "zoret/site/xml_text.hpp"
#include "zoret/url/whatwg.hpp"

namespace zoret::site {
namespace {

constexpr std::string_view kUrlsetOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\""
    " xmlns:xhtml=\"http://www.w3.org/1999/xhtml\""
    " xmlns:image=\"http://www.google.com/schemas/sitemap-image/1.1\">\n";
constexpr std::string_view kUrlsetClose = "</urlset>\n";
constexpr std::string_view kIndexOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
constexpr std::string_view kIndexClose = "</sitemapindex>\n";
constexpr std::size_t kMaxBasenameBytes = 100;

std::string to_decimal(std::uint64_t n) {
  char digits[24];
  const auto res = std::to_chars(digits, digits + sizeof digits, n);
  return std::string(digits, res.ptr);
}

bool is_basename_character(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

std::string join_path(std::string_view directory, std::string_view name) {
  std::string out(directory);
  if (!out.empty() && !out.ends_with('/')) out += '/';
  out += name;
  return out;
}

ZoretError os_failure_error(int err, std::string_view path) {
  std::string message = "failed to write sitemaps: ";
  message += detail::quoted(path);
  message += ": ";
  message += detail::describe_errno(err);
  message += " (os error ";
  message += to_decimal(static_cast<std::uint64_t>(err));
  message += ')';
  return ZoretError(ErrorKind::Serialization, std::move(message));
}

ZoretError configuration_error(std::string message) {
  return ZoretError(ErrorKind::InvalidConfiguration, std::move(message));
}

ZoretError with_context(std::string_view context, const ZoretError& error) {
  std::string message(context);
  message += error.message();
  return ZoretError(error.kind(), std::move(message));
}

Result<void> check_options(const SitemapOptions& options) {
  if (options.basename.empty() || options.basename.size() > kMaxBasenameBytes ||
      !std::all_of(options.basename.begin(), options.basename.end(), is_basename_character)) {
    return configuration_error(
        "sitemap basename must be 1 to 100 lower-case ASCII letters, digits, \"-\" or \"_\": " +
        detail::quoted(options.basename));
  }
  if (options.max_urls_per_file < 1 || options.max_urls_per_file > kMaxSitemapUrls) {
    return configuration_error("max_urls_per_file must be between 1 and 50000");
  }
  if (options.max_bytes_per_file < 1 || options.max_bytes_per_file > kMaxSitemapBytes) {
    return configuration_error("max_bytes_per_file must be between 1 and 52428800");
  }
  if (options.max_files < 1 || options.max_files > kMaxSitemapUrls) {
    return configuration_error("max_files must be between 1 and 50000");
  }
  if (options.gzip && (options.gzip_level < 1 || options.gzip_level > 9)) {
    return configuration_error("gzip_level must be between 1 and 9");
  }
  return {};
}

// Names of this basename that a set may own: "<b>.xml", "<b>-<n>.xml", with or
// without ".gz". Numbers are written without leading zeros, so "<b>-01.xml" is
// somebody else's file.
bool is_set_member_name(std::string_view name, std::string_view basename) {
  if (!name.starts_with(basename)) return false;
  name.remove_prefix(basename.size());
  if (name.ends_with(".gz")) name.remove_suffix(3);
  if (!name.ends_with(".xml")) return false;
  name.remove_suffix(4);
  if (name.empty()) return true;
  if (name.size() < 2 || name[0] != '-' || name[1] == '0') return false;
  return std::all_of(name.begin() + 1, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

struct SitemapWriter::State {
  std::string directory;
  UrlResolver resolver;
  SitemapOptions options;
  detail::Directory dir;

  std::vector<detail::StagedFile> sealed;
  std::unique_ptr<detail::OutputFile> current;
  std::size_t bytes_in_file = 0;
  std::size_t urls_in_file = 0;
  std::uint64_t url_count = 0;
  std::uint64_t entry_number = 0;
  bool done = false;
  std::optional<SitemapOsError> os_error;

  // Reused for every entry, so that their capacity settles after a few pages.
  std::string entry_text;
  std::string image_url;

  State(std::string dir_path, UrlResolver url_resolver, SitemapOptions opts)
      : directory(std::move(dir_path)),
        resolver(std::move(url_resolver)),
        options(std::move(opts)) {}

  [[nodiscard]] std::string_view extension() const { return options.gzip ? ".xml.gz" : ".xml"; }
  [[nodiscard]] int gzip_level() const {
    return options.gzip ? options.gzip_level : detail::OutputFile::kPlain;
  }
  [[nodiscard]] std::string numbered_name(std::size_t number) const {
    return options.basename + "-" + to_decimal(number) + std::string(extension());
  }
  [[nodiscard]] std::string single_name() const {
    return options.basename + std::string(extension());
  }

  Result<std::string> index_loc(std::string_view file_name) const {
    auto url = resolver.resolve_file(join_path(options.public_path, file_name));
    if (!url) return std::move(url).error();
    return encode_uri_reference(*url);
  }

  // Ends the set after a file-system failure: every temporary goes.
  ZoretError fail(int err, std::string_view name) {
    const std::string path = name.empty() ? directory : join_path(directory, name);
    os_error = SitemapOsError{err, path};
    current.reset();
    sealed.clear();
    done = true;
    return os_failure_error(err, path);
  }

  Result<void> append_location(std::string_view url_or_route, std::string_view element_open,
                               std::string_view element_close) {
    auto loc = encode_uri_reference(url_or_route);
    if (!loc) return std::move(loc).error();
    if (loc->size() > kMaxSitemapLocChars) {
      return ZoretError(ErrorKind::InvalidEntity,
                        "URL is longer than 2048 characters: " + detail::quoted(*loc));
    }
    entry_text += element_open;
    append_escaped_xml(entry_text, *loc);
    entry_text += element_close;
    return {};
  }

  // Images may be served from another host, so an absolute URL is kept (in the
  // URL parser's serialisation, without fragment); a route is a file of the site,
  // which the trailing-slash rule for pages must not turn into a directory.
  Result<void> append_image(std::string_view image) {
    auto parsed = url::parse_url(image);
    if (parsed) {
      if (parsed->scheme != "http" && parsed->scheme != "https") {
        return ZoretError(ErrorKind::InvalidUrl,
                          "image URL must use http or https: " + detail::quoted(image));
      }
      parsed->fragment.reset();
      image_url = url::serialize(*parsed);
    } else {
      auto resolved = resolver.resolve_file(image);
      if (!resolved) return std::move(resolved).error();
      image_url = *std::move(resolved);
    }
    return append_location(image_url, "<image:image><image:loc>", "</image:loc></image:image>");
  }

  Result<void> render(const SitemapEntry& entry) {
    entry_text.clear();
    auto url = resolver.resolve(entry.route);
    if (!url) return std::move(url).error();
    if (auto r = append_location(*url, "<url><loc>", "</loc>"); !r) return r;

    if (entry.lastmod) {
      auto lastmod = normalize_lastmod(*entry.lastmod);
      if (!lastmod) return std::move(lastmod).error();
      entry_text += "<lastmod>";
      append_escaped_xml(entry_text, *lastmod);
      entry_text += "</lastmod>";
    }

    if (!entry.alternates.empty()) {
      const std::optional<std::string_view> self =
          options.require_self_alternate ? std::optional<std::string_view>(*url) : std::nullopt;
      auto alternates = resolve_alternates(entry.alternates, resolver, self);
      if (!alternates) return std::move(alternates).error();
      for (const ResolvedAlternate& alternate : *alternates) {
        std::string open = R"(<xhtml:link rel="alternate" hreflang=")";
        append_escaped_xml(open, alternate.language);
        open += R"(" href=")";
        if (auto r = append_location(alternate.url, open, "\"/>"); !r) return r;
      }
    }

    if (entry.images.size() > kMaxSitemapImages) {
      return ZoretError(ErrorKind::InvalidEntity, "a page may list at most 1000 images, not " +
                                                      to_decimal(entry.images.size()));
    }
    for (std::size_t i = 0; i < entry.images.size(); ++i) {
      if (auto r = append_image(entry.images[i]); !r) {
        return with_context("image " + to_decimal(i + 1) + ": ", r.error());
      }
    }
    entry_text += "</url>\n";
    return {};
  }

  Result<void> open_file() {
    if (sealed.size() >= options.max_files) {
      return ZoretError(ErrorKind::Serialization,
                        "the set would need more than " + to_decimal(options.max_files) +
                            " sitemap files, more than one index may list");
    }
    const std::string hint = numbered_name(sealed.size() + 1);
    current = std::make_unique<detail::OutputFile>();
    if (const int err = current->open(dir, hint, gzip_level()); err != 0) return fail(err, hint);
    if (const int err = current->write(kUrlsetOpen); err != 0) return fail(err, hint);
    bytes_in_file = kUrlsetOpen.size();
    urls_in_file = 0;
    return {};
  }

  Result<void> close_file() {
    const std::string hint = numbered_name(sealed.size() + 1);
    if (const int err = current->write(kUrlsetClose); err != 0) return fail(err, hint);
    if (const int err = current->finish(); err != 0) return fail(err, hint);
    sealed.push_back(current->take());
    current.reset();
    return {};
  }

  Result<void> place() {
    const std::size_t size = entry_text.size();
    if (kUrlsetOpen.size() + size + kUrlsetClose.size() > options.max_bytes_per_file) {
      return ZoretError(ErrorKind::InvalidEntity, "the entry takes " + to_decimal(size) +
                                                      " bytes, more than a sitemap file of " +
                                                      to_decimal(options.max_bytes_per_file) +
                                                      " bytes can hold");
    }
    if (current && (urls_in_file == options.max_urls_per_file ||
                    bytes_in_file + size + kUrlsetClose.size() > options.max_bytes_per_file)) {
      if (auto r = close_file(); !r) return r;
    }
    if (!current) {
      if (auto r = open_file(); !r) return r;
    }
    if (const int err = current->write(entry_text); err != 0) {
      return fail(err, numbered_name(sealed.size() + 1));
    }
    bytes_in_file += size;
    ++urls_in_file;
    ++url_count;
    return {};
  }

  Result<detail::StagedFile> write_index() {
    std::string text(kIndexOpen);
    for (std::size_t number = 1; number <= sealed.size(); ++number) {
      auto loc = index_loc(numbered_name(number));
      if (!loc) return std::move(loc).error();
      text += "<sitemap><loc>";
      append_escaped_xml(text, *loc);
      text += "</loc></sitemap>\n";
    }
    text += kIndexClose;
    if (text.size() > options.max_bytes_per_file) {
      return ZoretError(ErrorKind::Serialization, "the sitemap index takes " +
                                                      to_decimal(text.size()) +
                                                      " bytes, more than the limit of " +
                                                      to_decimal(options.max_bytes_per_file));
    }
    const std::string name = single_name();
    detail::OutputFile index;
    if (const int err = index.open(dir, name, gzip_level()); err != 0) return fail(err, name);
    if (const int err = index.write(text); err != 0) return fail(err, name);
    if (const int err = index.finish(); err != 0) return fail(err, name);
    return index.take();
  }

  // After the new set is in place: files this set may own but did not write.
  std::vector<std::string> remove_stale(const std::vector<std::string>& kept) {
    std::vector<std::string> names;
    std::vector<std::string> removed;
    if (detail::list_names(dir, names) != 0) return removed;
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (!is_set_member_name(name, options.basename)) continue;
      if (std::find(kept.begin(), kept.end(), name) != kept.end()) continue;
      if (detail::remove_file(dir, name) == 0) removed.push_back(join_path(directory, name));
    }
    return removed;
  }

  Result<SitemapReport> finish() {
    if (!current && sealed.empty()) {
      if (auto r = open_file(); !r) return std::move(r).error();
    }
    if (auto r = close_file(); !r) return std::move(r).error();

    std::vector<std::string> names;
    if (sealed.size() == 1) {
      names.push_back(single_name());
    } else {
      for (std::size_t number = 1; number <= sealed.size(); ++number) {
        names.push_back(numbered_name(number));
      }
    }
    std::optional<detail::StagedFile> index;
    if (sealed.size() > 1) {
      auto written = write_index();
      if (!written) {
        current.reset();
        sealed.clear();
        return std::move(written).error();
      }
      index.emplace(*std::move(written));
    }

    // Urlsets first, the index last: an old index never points at a missing file.
    for (std::size_t i = 0; i < sealed.size(); ++i) {
      if (const int err = sealed[i].commit(names[i]); err != 0) return fail(err, names[i]);
    }
    SitemapReport report;
    if (index) {
      const std::string name = single_name();
      if (const int err = index->commit(name); err != 0) return fail(err, name);
      report.written.push_back(join_path(directory, name));
      names.push_back(name);
    }
    for (std::size_t i = 0; i < sealed.size(); ++i) {
      report.written.push_back(join_path(directory, names[i]));
    }
    sealed.clear();
    report.removed = remove_stale(names);
    report.url_count = url_count;
    return report;
  }
};

SitemapWriter::SitemapWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
SitemapWriter::SitemapWriter(SitemapWriter&&) noexcept = default;
SitemapWriter& SitemapWriter::operator=(SitemapWriter&&) noexcept = default;
SitemapWriter::~SitemapWriter() = default;

Result<SitemapWriter> SitemapWriter::create(std::string directory, UrlResolver resolver,
                                            SitemapOptions options, SitemapOsError* os_failure) {
  if (auto r = check_options(options); !r) return std::move(r).error();
  auto state =
      std::make_unique<State>(std::move(directory), std::move(resolver), std::move(options));
  // Every index location goes through the resolver; a base URL or public path
  // it cannot use is reported now rather than after the whole set is written.
  if (auto loc = state->index_loc(state->single_name()); !loc) {
    return with_context("sitemap index URL: ", loc.error());
  }
  if (const int err = state->dir.open(state->directory); err != 0) {
    if (os_failure != nullptr) *os_failure = SitemapOsError{err, state->directory};
    return os_failure_error(err, state->directory);
  }
  return SitemapWriter(std::move(state));
}

Result<void> SitemapWriter::add(const SitemapEntry& entry) {
  State& s = *state_;
  if (s.done) return ZoretError(ErrorKind::Serialization, "the sitemap set is already finished");
  ++s.entry_number;
  if (auto r = s.render(entry); !r) {
    return with_context(
        "sitemap entry " + to_decimal(s.entry_number) + " (" + detail::quoted(entry.route) + "): ",
        r.error());
  }
  auto placed = s.place();
  if (!placed && !s.done) {
    return with_context(
        "sitemap entry " + to_decimal(s.entry_number) + " (" + detail::quoted(entry.route) + "): ",
        placed.error());
  }
  return placed;
}

Result<SitemapReport> SitemapWriter::finish() {
  State& s = *state_;
  if (s.done) return ZoretError(ErrorKind::Serialization, "the sitemap set is already finished");
  auto report = s.finish();
  s.done = true;
  s.current.reset();
  s.sealed.clear();
  return report;
}

const std::optional<SitemapOsError>& SitemapWriter::os_error() const noexcept {
  return state_->os_error;
}

}  // namespace zoret::site
