#include "zoret/detail/atomic_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "detail/descriptors.hpp"

namespace zoret::detail {
namespace {

// The limit Linux applies when it follows links itself.
constexpr int kMaxSymlinkHops = 40;

OsResult<void> check(int status) {
  if (status == 0) return {};
  return os_error(status);
}

// The functions below return 0 or an errno value.

int sync_file(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int truncate_file(int fd) {
  while (::ftruncate(fd, 0) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// Tries `make(name)` (0 or an errno value) under fresh temporary names until
// one is free.
template <class Make>
int with_temp_name(const std::string& prefix, std::string& name, Make&& make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix + random_name_suffix();
    const int err = make(name);
    if (err != EEXIST) return err;
  }
  return EEXIST;
}

OsResult<std::string> read_link(const std::string& path) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return os_error(errno);
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

// Makes the rename itself durable. The new file is already in place when this
// runs, so a failure here is not reported as a failed write.
void sync_directory(const std::string& directory) {
  const int fd = ::open(directory.empty() ? "." : directory.c_str(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  static_cast<void>(sync_file(fd));
  static_cast<void>(close_descriptor(fd));
}

}  // namespace

std::string OsError::display() const {
  if (code == 0) return text;
  return text + " (os error " + std::to_string(code) + ')';
}

OsError os_error(int code) {
  return OsError{code, errno_text(code)};
}

OsResult<AtomicFile> AtomicFile::open(std::string_view path) {
  // The path becomes a C string: a NUL inside would silently name another file.
  if (path.find('\0') != std::string_view::npos) return OsError{0, "embedded null byte"};
  if (path.empty()) return os_error(ENOENT);

  // Symbolic links are followed by hand, so that a dangling one yields the
  // path of the file to create, as open(O_CREAT) would create it.
  std::string target(path);
  struct stat st {};
  bool exists = false;
  for (int hops = 0;; ++hops) {
    if (::lstat(target.c_str(), &st) != 0) {
      if (errno != ENOENT) return os_error(errno);
      break;
    }
    if (!S_ISLNK(st.st_mode)) {
      exists = true;
      break;
    }
    if (hops == kMaxSymlinkHops) return os_error(ELOOP);
    auto link = read_link(target);
    if (!link) return std::move(link).error();
    if (link->starts_with('/')) {
      target = *std::move(link);
    } else {
      target.resize(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
      target += *link;
    }
  }
  if (exists && S_ISDIR(st.st_mode)) return os_error(EISDIR);

  AtomicFile file;
  const std::size_t slash = target.rfind('/');
  file.directory_ = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  // "dir/" can only ever name a directory.
  if (name.empty()) return os_error(EISDIR);
  file.target_ = std::move(target);

  if (exists && !S_ISREG(st.st_mode)) {
    file.fd_ = ::open(file.target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (file.fd_ < 0) return os_error(errno);
    file.in_place_ = true;
    return file;
  }

  // An existing file must be writable, exactly as open(path, "w") would check
  // it (permissions, read-only mounts, running programs); renaming over it only
  // needs the directory's permission and would replace a read-only file.
  int existing = -1;
  if (exists) {
    existing = ::open(file.target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (existing < 0) return os_error(errno);
    file.keep_mode_ = true;
    file.mode_ = st.st_mode & 07777;
    file.uid_ = st.st_uid;
    file.gid_ = st.st_gid;
  }
  const auto write_in_place = [&]() -> OsResult<AtomicFile> {
    if (const int err = truncate_file(existing); err != 0) {
      static_cast<void>(close_descriptor(existing));
      return os_error(err);
    }
    file.fd_ = existing;
    file.in_place_ = true;
    file.keep_mode_ = false;
    return std::move(file);
  };
  // Renaming would leave the other links with the old content.
  if (exists && st.st_nlink > 1) return write_in_place();

  // A replaced file starts private and gets the old mode once written; a new one
  // is created like any other file, so the umask and default ACLs apply.
  const mode_t create_mode = exists ? 0600 : 0666;
  const std::string directory = file.directory_.empty() ? "." : file.directory_;
  int err = 0;
  file.fd_ = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, create_mode);
  if (file.fd_ >= 0) {
    file.unnamed_ = true;
  } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    // The file system (or an old kernel) has no unnamed files.
    const std::string prefix = file.directory_ + "." + name.substr(0, 200) + ".tmp-";
    err = with_temp_name(prefix, file.temp_, [&](const std::string& temp) {
      file.fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
      return file.fd_ < 0 ? errno : 0;
    });
    if (err != 0) file.temp_.clear();
  } else {
    err = errno;
  }
  // A directory that takes no new entries still lets open() rewrite the file.
  if (err == EACCES || err == EPERM) {
    if (existing >= 0) return write_in_place();
  }
  if (existing >= 0) static_cast<void>(close_descriptor(existing));
  if (err != 0) return os_error(err);
  return file;
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept { *this = std::move(other); }

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
  if (this != &other) {
    discard();
    fd_ = std::exchange(other.fd_, -1);
    in_place_ = other.in_place_;
    unnamed_ = other.unnamed_;
    keep_mode_ = other.keep_mode_;
    mode_ = other.mode_;
    uid_ = other.uid_;
    gid_ = other.gid_;
    target_ = std::move(other.target_);
    directory_ = std::move(other.directory_);
    temp_ = std::exchange(other.temp_, {});
  }
  return *this;
}

AtomicFile::~AtomicFile() { discard(); }

OsResult<void> AtomicFile::write(std::string_view bytes) {
  if (fd_ < 0) return os_error(EBADF);
  return check(write_all(fd_, bytes));
}

void AtomicFile::discard() noexcept {
  if (fd_ >= 0) static_cast<void>(close_descriptor(std::exchange(fd_, -1)));
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

OsResult<void> AtomicFile::commit() {
  if (fd_ < 0) return os_error(EBADF);
  if (in_place_) {
    struct stat st {};
    // Devices and FIFOs have nothing to flush (and refuse fsync).
    int err = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? sync_file(fd_) : 0;
    const int close_err = close_descriptor(std::exchange(fd_, -1));
    return check(err != 0 ? err : close_err);
  }

  int err = 0;
  if (keep_mode_) {
    // Only root may give a file away, so this fails harmlessly for other users;
    // it comes before fchmod because a change of owner clears set-id bits.
    static_cast<void>(::fchown(fd_, uid_, gid_));
    if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) err = errno;
  }
  if (err == 0) err = sync_file(fd_);
  if (err == 0 && unnamed_) {
    // The unnamed file gets a name only now, just before the rename, so that a
    // process killed at any earlier point leaves nothing behind.
    const std::size_t slash = target_.rfind('/');
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    err = with_temp_name(directory_ + "." + name.substr(0, 200) + ".tmp-", temp_,
                         [&](const std::string& temp) { return link_unnamed(fd_, AT_FDCWD, temp); });
    if (err != 0) temp_.clear();
  }
  const int close_err = close_descriptor(std::exchange(fd_, -1));
  if (err == 0) err = close_err;
  if (err == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
  if (err != 0) {
    discard();
    return os_error(err);
  }
  temp_.clear();
  sync_directory(directory_);
  return {};
}

OsResult<void> write_file_atomically(std::string_view path, std::string_view bytes) {
  auto file = AtomicFile::open(path);
  if (!file) return std::move(file).error();
  if (auto written = file->write(bytes); !written) return written;
  return file->commit();
}

}  // namespace zoret::detail
