#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zoret/result.hpp"
#include "zoret/site/hreflang.hpp"
#include "zoret/site/url_resolver.hpp"

namespace zoret::site {

/// The protocol's limits for one sitemap file (and for one index).
inline constexpr std::size_t kMaxSitemapUrls = 50'000;
inline constexpr std::size_t kMaxSitemapBytes = 52'428'800;
/// Longest location the sitemaps.org schema accepts, in characters.
inline constexpr std::size_t kMaxSitemapLocChars = 2'048;
/// Most image entries one page may list.
inline constexpr std::size_t kMaxSitemapImages = 1'000;

/// One page of the site. The texts are borrowed for the duration of `add`.
struct SitemapEntry {
  /// Route or absolute URL, resolved by the site's URL resolver.
  std::string_view route;
  /// W3C Datetime, see `normalize_lastmod`.
  std::optional<std::string_view> lastmod;
  /// Language versions, written as `xhtml:link` elements; when present they must
  /// include the page itself unless the writer's options turn the check off.
  std::span<const LanguageAlternate> alternates;
  /// Image URLs: absolute http(s) URLs are kept (images may live on another
  /// host), routes are resolved as files of the site (`UrlResolver::resolve_file`).
  std::span<const std::string> images;
};

struct SitemapOptions {
  /// Writes every file of the set as gzip, with ".gz" added to its name.
  bool gzip = false;
  /// zlib compression level, 1 (fastest) to 9 (smallest).
  int gzip_level = 6;
  /// File names: "<basename>.xml" for a single file; "<basename>-1.xml",
  /// "<basename>-2.xml", ... and the index "<basename>.xml" for several.
  /// Lower-case ASCII letters, digits, "-" and "_".
  std::string basename = "sitemap";
  /// The URL path (or absolute URL) at which the directory is served; the index
  /// lists "<public_path>/<file name>" resolved as a file URL.
  std::string public_path = "/";
  /// Per file (the index included): at most this many URLs and bytes before
  /// compression, closing tag included, and at most `max_files` urlsets in the
  /// index. Lower values are for tests and tools.
  std::size_t max_urls_per_file = kMaxSitemapUrls;
  std::size_t max_bytes_per_file = kMaxSitemapBytes;
  std::size_t max_files = kMaxSitemapUrls;
  /// Entries with alternates must list themselves among them.
  bool require_self_alternate = true;
};

/// What `finish` wrote and removed. `written` starts with the file to submit to
/// search engines (the index, or the single urlset), then the urlsets in order.
struct SitemapReport {
  std::vector<std::string> written;
  std::vector<std::string> removed;
  std::uint64_t url_count = 0;
};

/// The operating-system failure behind a Serialization error of the writer.
struct SitemapOsError {
  int code = 0;      ///< errno value
  std::string path;  ///< the directory or the file being written
};

/// Writes a sitemap set (sitemaps.org protocol 0.9) into an existing directory,
/// one entry at a time: the set is streamed to temporary files, so memory does
/// not grow with the number of URLs. Nothing is visible until `finish` renames
/// the complete set into place, urlsets first and the index last; numbered
/// files of an earlier, larger set (and the other compression's files of that
/// name) are removed only after that. Dropping an unfinished writer, or any
/// file-system failure, removes the temporaries and leaves the old set as it was.
/// Files are created with mode 0666 less the umask; a symbolic link under a
/// target name is replaced, not followed. Readers never see a partial file, but
/// between the renames they may see new urlsets under the old index. There is
/// no fsync (the set can be regenerated): after a power failure the newest
/// files may be lost. Stale files are removed on a best-effort basis (a failure
/// to remove one is not an error; `removed` lists what went).
///
/// Each `<url>` is one line: loc (the resolver's URL as a URI, see
/// `encode_uri_reference`), lastmod, `xhtml:link` alternates, `image:image`
/// entries. Both extension namespaces are always declared, so that a file's
/// header does not depend on what follows it.
class SitemapWriter {
 public:
  /// Opens `directory`, which must exist, and checks the options. When opening
  /// fails and `os_failure` is given, it receives the errno value and the path.
  /// Errors: InvalidConfiguration for options out of range or a bad basename;
  /// those of the resolver for the index URL; Serialization "failed to write
  /// sitemaps: \"public\": No such file or directory (os error 2)" and the like.
  [[nodiscard]] static Result<SitemapWriter> create(std::string directory, UrlResolver resolver,
                                                    SitemapOptions options = {},
                                                    SitemapOsError* os_failure = nullptr);

  SitemapWriter(SitemapWriter&&) noexcept;
  SitemapWriter& operator=(SitemapWriter&&) noexcept;
  ~SitemapWriter();

  /// Adds one page. An entry that cannot be written (bad URL, lastmod or
  /// language tag, too large for a file) is refused with an error naming it
  /// ("sitemap entry 7 (\"/about\"): ...", counting every call from 1) and
  /// leaves the writer as it was; a file-system failure ends the set (see
  /// `os_error`).
  /// Errors: those of the resolver, `encode_uri_reference`, `normalize_lastmod`
  /// and `resolve_alternates` with the entry named; InvalidEntity for a location
  /// over 2,048 characters, more than 1,000 images or an entry larger than a file
  /// may hold; Serialization when the set would need more files than an index
  /// may list, or for a file-system failure.
  [[nodiscard]] Result<void> add(const SitemapEntry& entry);
  [[nodiscard]] Result<void> add(std::string_view route) {
    SitemapEntry entry;
    entry.route = route;
    return add(entry);
  }

  /// Completes the set and puts it in place. Without entries, one empty urlset
  /// is written. The writer is done afterwards, whatever the outcome.
  /// Errors: Serialization for a file-system failure or an index over the byte
  /// limit; calling it twice.
  [[nodiscard]] Result<SitemapReport> finish();

  /// The errno value and path of the file-system failure that ended the set.
  [[nodiscard]] const std::optional<SitemapOsError>& os_error() const noexcept;

 private:
  struct State;
  explicit SitemapWriter(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace zoret::site
