#include "zoret/detail/atomic_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "file_test_support.hpp"

namespace zoret::detail {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using testing::read_file;

void put(const std::string& path, const std::string& text, fs::perms mode) {
  testing::write_file(path, text);
  fs::permissions(path, mode);
}

class AtomicFileTest : public ::testing::Test {
 protected:
  [[nodiscard]] Names entries() const { return scratch_.names(); }
  [[nodiscard]] std::string at(const char* name) const { return scratch_.file(name); }

  // Runs `body` in a child process (as nobody when we are root) and returns its
  // exit status: the checks that need a user without root's override of
  // permissions.
  template <class Body>
  int as_unprivileged(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
      if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
      ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  testing::ScratchDir scratch_;
  const std::string& dir_ = scratch_.path();
};

TEST_F(AtomicFileTest, ReplacesWholeKeepingModeLinksAndSymlinks) {
  using enum fs::perms;
  put(at("plain"), "old", owner_read | owner_write | others_read);
  put(at("linked"), "old", owner_read | owner_write);
  fs::create_hard_link(at("linked"), at("second"));
  fs::create_symlink("missing/../fresh", at("dangling"));
  fs::create_symlink("dangling", at("chain"));
  fs::create_directory(at("missing"));
  const struct {
    const char* written;
    const char* holder;
    bool in_place;
  } rows[] = {
      {"plain", "plain", false},
      {"chain", "fresh", false},  // through two links, one of them dangling
      {"linked", "second", true},
      {"new", "new", false},
  };
  const mode_t saved_mask = ::umask(027);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.written);
    auto file = AtomicFile::open(at(row.written));
    ASSERT_TRUE(file) << file.error().display();
    EXPECT_EQ(file->in_place(), row.in_place);
    ASSERT_TRUE(file->write("new "));
    ASSERT_TRUE(file->write("text"));
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(read_file(at(row.holder)), "new text");
  }
  ::umask(saved_mask);
  EXPECT_EQ(fs::status(at("plain")).permissions(), owner_read | owner_write | others_read);
  EXPECT_EQ(fs::status(at("new")).permissions(), owner_read | owner_write | group_read);
  EXPECT_TRUE(fs::equivalent(at("linked"), at("second")));
  EXPECT_TRUE(fs::is_symlink(at("chain")));
  EXPECT_EQ(entries(), (Names{"chain", "dangling", "fresh", "linked", "missing",
                                              "new", "plain", "second"}));
}

TEST_F(AtomicFileTest, RefusalsTouchNothing) {
  put(at("plain"), "old", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("loop", at("loop"));
  const std::pair<std::string, OsError> rows[] = {
      {at("plain") + std::string("\0.bak", 5), OsError{0, "embedded null byte"}},
      {at("loop"), os_error(ELOOP)},
      {"", os_error(ENOENT)},
      {dir_ + "/", os_error(EISDIR)},
      {at("nowhere/x"), os_error(ENOENT)},
  };
  for (const auto& [path, error] : rows) {
    const auto written = write_file_atomically(path, "new");
    ASSERT_FALSE(written) << path;
    EXPECT_EQ(written.error(), error) << path;
  }
  // Streamed and given up, explicitly or by going out of scope.
  for (const bool explicitly : {true, false}) {
    auto file = AtomicFile::open(at("plain"));
    ASSERT_TRUE(file && file->write("partial"));
    if (explicitly) file->discard();
  }
  EXPECT_EQ(read_file(at("plain")), "old");
  EXPECT_EQ(entries(), (Names{"loop", "plain"}));
  EXPECT_EQ(os_error(ENOSPC).display(), "No space left on device (os error 28)");
}

TEST_F(AtomicFileTest, DevicesAndFifosAreWrittenInPlace) {
  // Renaming over a FIFO would swap the node itself; its reader must get the bytes.
  ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);
  const int reader = ::open(at("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto fifo = AtomicFile::open(at("fifo"));
  ASSERT_TRUE(fifo);
  EXPECT_TRUE(fifo->in_place());
  EXPECT_TRUE(fifo->write("through") && fifo->commit());
  char buffer[16] = {};
  EXPECT_EQ(::read(reader, buffer, sizeof buffer), 7);
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(at("fifo")));

  struct stat full {};
  if (::stat("/dev/full", &full) != 0 || !S_ISCHR(full.st_mode)) GTEST_SKIP() << "no /dev/full";
  auto written = write_file_atomically("/dev/full", "x");
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().code, ENOSPC);
}

TEST_F(AtomicFileTest, AKilledWriterLeavesNothingBehind) {
  put(at("plain"), "old", fs::perms::owner_read | fs::perms::owner_write);
  const pid_t child = ::fork();
  if (child == 0) {
    auto file = AtomicFile::open(at("plain"));
    if (file && file->write("half")) ::kill(::getpid(), SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(read_file(at("plain")), "old");
  EXPECT_EQ(entries(), Names{"plain"});
}

TEST_F(AtomicFileTest, PermissionsAreThoseOfOpenForWriting) {
  using enum fs::perms;
  put(at("read-only"), "old", owner_read | group_read | others_read);
  put(at("writable"), "old", owner_read | owner_write | others_read | others_write);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(dir_.c_str(), 65534, 65534), 0);
  }
  fs::permissions(dir_, owner_read | owner_exec | others_read | others_exec);
  // Exit codes: 0 as expected, 1 wrong outcome.
  EXPECT_EQ(as_unprivileged([&] {
              auto read_only = write_file_atomically(at("read-only"), "new");
              auto in_locked_dir = write_file_atomically(at("new"), "new");
              auto writable = AtomicFile::open(at("writable"));
              const bool ok = !read_only && read_only.error().code == EACCES && !in_locked_dir &&
                              in_locked_dir.error().code == EACCES && writable &&
                              writable->in_place() && writable->write("new") && writable->commit();
              return ok ? 0 : 1;
            }),
            0);
  EXPECT_EQ(read_file(at("read-only")), "old");
  EXPECT_EQ(read_file(at("writable")), "new");
  EXPECT_EQ(entries(), (Names{"read-only", "writable"}));
}

}  // namespace
}  // namespace zoret::detail
