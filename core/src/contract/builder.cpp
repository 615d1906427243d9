#include "zoret/contract/builder.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "zoret/hashing.hpp"

namespace zoret {

SEOContract build_contract(const SEOContractConfig& config) {
  return SEOContract{
      .contract_version = std::string(kContractVersion),
      .generator = {.name = std::string(kContractGeneratorName),
                    .version = std::string(kContractGeneratorVersion)},
      .site = {.canonical_host = config.canonical_host, .scheme = config.scheme},
      .defaults = config.defaults,
      .rules = config.rules,
      .exceptions = config.exceptions,
  };
}

namespace {

std::string serialise(const SEOContract& contract, bool pretty) {
  std::string out;
  JsonWriter writer(out, pretty);
  write_json(writer, contract);
  return out;
}

}  // namespace

std::string contract_to_json(const SEOContract& contract) {
  return serialise(contract, true);
}

std::string contract_to_compact_json(const SEOContract& contract) {
  return serialise(contract, false);
}

Result<std::string> contract_hash(const SEOContract& contract) {
  return sha256_hex(contract_to_json(contract));
}

namespace {

// strerror_r comes in two shapes; glibc picks the GNU one under _GNU_SOURCE.
[[maybe_unused]] std::string from_strerror_r(const char* text, const char*) {
  return text;
}
[[maybe_unused]] std::string from_strerror_r(int status, const char* buffer) {
  return status == 0 ? std::string(buffer) : std::string("Unknown error");
}

ZoretError write_error(int err) {
  char buffer[256] = {};
  std::string message = "failed to write contract: ";
  message += from_strerror_r(strerror_r(err, buffer, sizeof buffer), buffer);
  message += " (os error ";
  message += std::to_string(err);
  message += ')';
  return ZoretError(ErrorKind::Serialization, std::move(message));
}

// The functions below return 0 or an errno value.

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

int sync_file(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// Linux closes the descriptor even when close() reports EINTR, so it is not
// retried and not treated as a failure.
int close_file(int fd) { return ::close(fd) != 0 && errno != EINTR ? errno : 0; }

// Six characters for the temporary name. They need not be secret: O_EXCL
// refuses an existing name (or a planted symlink) and the caller tries another.
std::string random_suffix() {
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    auto state = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    state ^= reinterpret_cast<std::uintptr_t>(&bytes);
    for (unsigned char& byte : bytes) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      byte = static_cast<unsigned char>(state >> 56);
    }
  }
  std::string suffix;
  for (unsigned char byte : bytes) suffix.push_back(kAlphabet[byte % kAlphabet.size()]);
  return suffix;
}

// Devices and FIFOs cannot be replaced by renaming (that would swap out the
// node itself), so they receive the bytes directly.
int write_in_place(const std::string& target, std::string_view bytes) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return errno;
  const int err = write_all(fd, bytes);
  const int close_err = close_file(fd);
  return err != 0 ? err : close_err;
}

int keep_owner_and_mode(int fd, const struct stat& old) {
  // Only root may give a file away, so this fails harmlessly for other users;
  // it comes before fchmod because a change of owner clears set-id bits.
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
  }
  return ::fchmod(fd, old.st_mode & 07777) != 0 ? errno : 0;
}

// Makes the rename itself durable. The new contract is already in place when
// this runs, so a failure here is not reported as a failed write.
void sync_directory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  sync_file(fd);
  close_file(fd);
}

int replace_file(const std::string& path, std::string_view bytes) {
  if (path.empty()) return ENOENT;

  std::string target = path;
  struct stat old {};
  if (::lstat(path.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return errno;
    target = resolved;
    std::free(resolved);
  }
  bool exists = true;
  if (::stat(target.c_str(), &old) != 0) {
    if (errno != ENOENT) return errno;
    exists = false;
  }
  if (exists && S_ISDIR(old.st_mode)) return EISDIR;
  if (exists && !S_ISREG(old.st_mode)) return write_in_place(target, bytes);

  const std::size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  // "dir/" can only ever name a directory.
  if (name.empty()) return EISDIR;

  // A name at the file system's length limit still leaves room for the decoration.
  const std::string temp_prefix = directory + "." + name.substr(0, 200) + ".tmp-";
  // A replaced file starts private and gets the old mode once written; a new one
  // is created like any other file, so the umask and default ACLs apply.
  const mode_t create_mode = exists ? 0600 : 0666;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = temp_prefix + random_suffix();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;

  int err = write_all(fd, bytes);
  if (err == 0 && exists) err = keep_owner_and_mode(fd, old);
  if (err == 0) err = sync_file(fd);
  const int close_err = close_file(fd);
  if (err == 0) err = close_err;
  if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    return err;
  }
  sync_directory(directory.empty() ? "." : directory);
  return 0;
}

}  // namespace

Result<void> write_contract(const SEOContract& contract, const std::string& path) {
  Result<std::string> text = contract_to_json(contract);
  if (!text) return std::move(text).error();
  if (const int err = replace_file(path, *text); err != 0) return write_error(err);
  return {};
}

}  // namespace zoret
