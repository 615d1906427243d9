#pragma once

// The one way the site outputs touch the file system: a file is written in full
// to a temporary in its target directory and only then renamed into place, so
// that readers see the old file or the new one, never a part. There is no
// fsync: the files can be regenerated, and a set of them is written in bulk.

#include <string>
#include <string_view>
#include <vector>

namespace zoret::site::detail {

/// An open directory; the files of a set are created relative to it, so that a
/// change of working directory or a rename of a parent cannot split the set.
class Directory {
 public:
  Directory() = default;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  ~Directory();

  /// Returns 0 or the errno value.
  [[nodiscard]] int open(const std::string& path);
  [[nodiscard]] int fd() const noexcept { return fd_; }

 private:
  int fd_ = -1;
};

/// A file on its way into a directory. States: empty -> open (`open`) -> sealed
/// (`seal`: complete, under a hidden temporary name) -> committed (`commit`).
/// Dropping a file that is not committed removes its temporary. Every operation
/// returns 0 or the errno value of the failing call.
class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  ~StagedFile() { discard(); }

  /// Creates the temporary in `dir`: unnamed (O_TMPFILE) where the file system
  /// supports it, so that a crash while writing leaves nothing behind, otherwise
  /// a hidden file named after `hint`. New files get 0666 less the umask.
  [[nodiscard]] int open(const Directory& dir, std::string_view hint);
  [[nodiscard]] int write(std::string_view bytes);
  /// All bytes are written: closes the file and gives it a hidden name.
  [[nodiscard]] int seal();
  /// Renames the sealed file to `name` in its directory, replacing what is there.
  [[nodiscard]] int commit(std::string_view name);
  /// Removes the temporary, if any; never fails.
  void discard() noexcept;

 private:
  int create_named(std::string_view hint);

  int dir_fd_ = -1;
  int fd_ = -1;
  std::string hint_;
  std::string temp_name_;  // empty while the file is unnamed
};

/// The names in the directory ("." and ".." left out). Returns 0 or the errno value.
[[nodiscard]] int list_names(const Directory& dir, std::vector<std::string>& names);

/// Removes `name` from the directory. Returns 0 or the errno value.
[[nodiscard]] int remove_file(const Directory& dir, const std::string& name);

/// The C library's description of an errno value.
[[nodiscard]] std::string describe_errno(int err);

}  // namespace zoret::site::detail
