#include "site/staged_file.hpp"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <utility>

namespace zoret::site::detail {
namespace {

// Linux closes the descriptor even when close() reports EINTR, so it is not
// retried and not treated as a failure.
int close_fd(int fd) { return ::close(fd) != 0 && errno != EINTR ? errno : 0; }

// Six characters for a temporary name. They need not be secret: O_EXCL and
// linkat refuse an existing name and the caller tries another.
std::string random_suffix() {
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    auto state =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    state ^= reinterpret_cast<std::uintptr_t>(&bytes);
    for (unsigned char& byte : bytes) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      byte = static_cast<unsigned char>(state >> 56);
    }
  }
  std::string suffix;
  for (const unsigned char byte : bytes) suffix.push_back(kAlphabet[byte % kAlphabet.size()]);
  return suffix;
}

std::string temp_name_for(std::string_view hint) {
  std::string name = ".";
  name += hint.substr(0, 200);
  name += ".tmp-";
  name += random_suffix();
  return name;
}

constexpr int kNameAttempts = 100;

// Gives an unnamed (O_TMPFILE) file a name: through /proc for any user or,
// without /proc, through AT_EMPTY_PATH, which needs CAP_DAC_READ_SEARCH.
int link_unnamed(int fd, int dir_fd, const std::string& name) {
  const std::string proc_path = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, proc_path.c_str(), dir_fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return errno;
  return ::linkat(fd, "", dir_fd, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// strerror_r comes in two shapes; glibc picks the GNU one under _GNU_SOURCE.
[[maybe_unused]] std::string from_strerror_r(const char* text, const char*) { return text; }
[[maybe_unused]] std::string from_strerror_r(int status, const char* buffer) {
  return status == 0 ? std::string(buffer) : std::string("Unknown error");
}

}  // namespace

Directory::Directory(Directory&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close_fd(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Directory::~Directory() {
  if (fd_ >= 0) close_fd(fd_);
}

int Directory::open(const std::string& path) {
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  if (fd_ >= 0) close_fd(fd_);
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

int StagedFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int StagedFile::seal() {
  for (int attempt = 0; temp_name_.empty(); ++attempt) {
    std::string name = temp_name_for(hint_);
    const int err = link_unnamed(fd_, dir_fd_, name);
    if (err == 0) temp_name_ = std::move(name);
    if (err != 0 && (err != EEXIST || attempt + 1 == kNameAttempts)) return err;
  }
  return close_fd(std::exchange(fd_, -1));
}

int StagedFile::commit(std::string_view name) {
  const std::string target(name);
  if (::renameat(dir_fd_, temp_name_.c_str(), dir_fd_, target.c_str()) != 0) return errno;
  temp_name_.clear();
  dir_fd_ = -1;
  return 0;
}

void StagedFile::discard() noexcept {
  if (fd_ >= 0) close_fd(std::exchange(fd_, -1));
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
    close_fd(fd);
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

std::string describe_errno(int err) {
  char buffer[256] = {};
  return from_strerror_r(strerror_r(err, buffer, sizeof buffer), buffer);
}

}  // namespace zoret::site::detail
