#include "detail/descriptors.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace zoret::detail {
namespace {

// strerror_r comes in two shapes; glibc picks the GNU one under _GNU_SOURCE.
[[maybe_unused]] std::string from_strerror_r(const char* text, const char*) { return text; }
[[maybe_unused]] std::string from_strerror_r(int status, const char* buffer) {
  return status == 0 ? std::string(buffer) : std::string("Unknown error");
}

}  // namespace

int write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int close_descriptor(int fd) { return ::close(fd) != 0 && errno != EINTR ? errno : 0; }

std::string random_name_suffix() {
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

int link_unnamed(int fd, int dir_fd, const std::string& name) {
  const std::string proc_path = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, proc_path.c_str(), dir_fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return errno;
  return ::linkat(fd, "", dir_fd, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

std::string errno_text(int err) {
  char buffer[256] = {};
  return from_strerror_r(strerror_r(err, buffer, sizeof buffer), buffer);
}

}  // namespace zoret::detail
