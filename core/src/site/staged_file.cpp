#include "site/staged_file.hpp"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "detail/descriptors.hpp"

namespace zoret::site::detail {
namespace {

using zoret::detail::close_descriptor;
using zoret::detail::errno_text;
using zoret::detail::link_unnamed;
using zoret::detail::random_name_suffix;
using zoret::detail::write_all;

std::string temp_name_for(std::string_view hint) {
  std::string name = ".";
  name += hint.substr(0, 200);
  name += ".tmp-";
  name += random_name_suffix();
  return name;
}

constexpr int kNameAttempts = 100;

}  // namespace

Directory::Directory(Directory&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close_descriptor(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Directory::~Directory() {
  if (fd_ >= 0) close_descriptor(fd_);
}

int Directory::open(const std::string& path) {
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  if (fd_ >= 0) close_descriptor(fd_);
  fd_ = fd;
  return 0;
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : dir_fd_(std::exchange(other.dir_fd_, -1)),
      fd_(std::exchange(other.fd_, -1)),
      hint_(std::move(other.hint_)),
      temp_name_(std::move(other.temp_name_)) {
  other.temp_name_.clear();
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this != &other) {
    discard();
    dir_fd_ = std::exchange(other.dir_fd_, -1);
    fd_ = std::exchange(other.fd_, -1);
    hint_ = std::move(other.hint_);
    temp_name_ = std::move(other.temp_name_);
    other.temp_name_.clear();
  }
  return *this;
}

int StagedFile::open(const Directory& dir, std::string_view hint) {
  discard();
  dir_fd_ = dir.fd();
  hint_ = hint;
#ifdef O_TMPFILE
  fd_ = ::openat(dir_fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0) return 0;
  // File systems without unnamed temporaries answer with one of these.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
#endif
  return create_named(hint);
}

int StagedFile::create_named(std::string_view hint) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = temp_name_for(hint);
    fd_ = ::openat(dir_fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temp_name_ = std::move(name);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int StagedFile::write(std::string_view bytes) { return write_all(fd_, bytes); }

int StagedFile::seal() {
  for (int attempt = 0; temp_name_.empty(); ++attempt) {
    std::string name = temp_name_for(hint_);
    const int err = link_unnamed(fd_, dir_fd_, name);
    if (err == 0) temp_name_ = std::move(name);
    if (err != 0 && (err != EEXIST || attempt + 1 == kNameAttempts)) return err;
  }
  return close_descriptor(std::exchange(fd_, -1));
}

int StagedFile::commit(std::string_view name) {
  const std::string target(name);
  if (::renameat(dir_fd_, temp_name_.c_str(), dir_fd_, target.c_str()) != 0) return errno;
  temp_name_.clear();
  dir_fd_ = -1;
  return 0;
}

void StagedFile::discard() noexcept {
  if (fd_ >= 0) close_descriptor(std::exchange(fd_, -1));
  if (!temp_name_.empty() && dir_fd_ >= 0) ::unlinkat(dir_fd_, temp_name_.c_str(), 0);
  temp_name_.clear();
  dir_fd_ = -1;
}

int list_names(const Directory& dir, std::vector<std::string>& names) {
  // fdopendir takes the descriptor over; the directory keeps its own.
  const int fd = ::openat(dir.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* stream = ::fdopendir(fd);
  if (stream == nullptr) {
    const int err = errno;
    close_descriptor(fd);
    return err;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(stream)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
    errno = 0;
  }
  const int err = errno;
  ::closedir(stream);
  return err;
}

int remove_file(const Directory& dir, const std::string& name) {
  return ::unlinkat(dir.fd(), name.c_str(), 0) != 0 ? errno : 0;
}

std::string describe_errno(int err) { return errno_text(err); }

}  // namespace zoret::site::detail
