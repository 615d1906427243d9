#pragma once

// Replacing a file so that readers see the old content or the new, never a mix.
// Used by every writer of the core that produces a file (contracts, sitemaps).

#include <string>
#include <string_view>

#include "zoret/result.hpp"

namespace zoret::detail {

/// A failure reported by the operating system, or a path it was never shown.
struct OsError {
  /// The errno value; 0 when the failure did not come from the operating system
  /// (a path with a NUL byte is refused before any system call).
  int code = 0;
  /// The C library's description of `code` ("No such file or directory"), or
  /// the cause in our words when `code` is 0.
  std::string text;

  /// "<text> (os error <code>)", or the text alone when `code` is 0.
  [[nodiscard]] std::string display() const;

  friend bool operator==(const OsError&, const OsError&) = default;
};

/// The OsError for `code` (an errno value) with the C library's description.
[[nodiscard]] OsError os_error(int code);

template <class T>
using OsResult = Expected<T, OsError>;

/// A file written in pieces that takes the place of its target only when
/// committed; destroying it uncommitted discards it.
///
///     auto file = AtomicFile::open(path);
///     if (!file) return file.error();
///     for (...) if (auto w = file->write(chunk); !w) return w.error();
///     return file->commit();
///
/// How the target is replaced, decided when opening:
/// - A symbolic link is followed to its final target, which is created when it
///   does not exist (a dangling link gets its target, as `open` would create it).
/// - A new file, or a regular file with one link, is written to an unnamed
///   temporary file (`O_TMPFILE`) in the target's directory, which is linked
///   under a temporary name and renamed over the target on commit. A process
///   killed before the commit leaves nothing behind. Where the file system
///   refuses `O_TMPFILE`, a named temporary file (".<name>.tmp-XXXXXX") is used.
///   The data is flushed to disk before the rename, and the rename after it.
/// - A replaced file keeps its permission bits (and its owner, for root); a new
///   file gets 0666 less the umask.
/// - An existing target must be writable, as for `open(path, O_WRONLY)`: a
///   read-only file is refused with EACCES, not silently replaced.
/// - Written in place instead (truncated when opened, then written; not atomic):
///   targets that are not regular files (devices, FIFOs: renaming would swap the
///   node itself); regular files with several hard links, so that every link
///   keeps showing the same content; and writable files in a directory that does
///   not allow new entries, as `open` alone would still write them.
class AtomicFile {
 public:
  /// Prepares to replace the file at `path`.
  /// Errors: a path holding a NUL byte ("embedded null byte", code 0), EISDIR for
  /// a directory or a path ending in "/", ENOENT for "", ELOOP for a symlink
  /// chain of more than 40 links, and whatever the system reports.
  [[nodiscard]] static OsResult<AtomicFile> open(std::string_view path);

  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&& other) noexcept;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Appends `bytes`. After a failure the file can only be discarded.
  [[nodiscard]] OsResult<void> write(std::string_view bytes);

  /// Puts the written bytes in place of the target. After it, successful or
  /// not, the object is spent; a failure leaves the target as it was (except
  /// when writing in place).
  [[nodiscard]] OsResult<void> commit();

  /// Drops what was written; an existing target stays as it was (except when
  /// writing in place). Called by the destructor of an uncommitted file.
  void discard() noexcept;

  /// Whether writes go straight into the target (see the class comment).
  [[nodiscard]] bool in_place() const noexcept { return in_place_; }

 private:
  AtomicFile() = default;

  int fd_ = -1;
  bool in_place_ = false;
  bool unnamed_ = false;      // an O_TMPFILE file, linked only on commit
  bool keep_mode_ = false;    // a replaced file's owner and mode are restored
  unsigned mode_ = 0;
  unsigned uid_ = 0;
  unsigned gid_ = 0;
  std::string target_;        // the resolved path that is replaced
  std::string directory_;     // its directory, "" for the working directory
  std::string temp_;          // the named temporary file, when there is one
};

/// Replaces the file at `path` with `bytes` through an AtomicFile.
/// Errors: those of `AtomicFile::open`, `write` and `commit`.
[[nodiscard]] OsResult<void> write_file_atomically(std::string_view path, std::string_view bytes);

}  // namespace zoret::detail
