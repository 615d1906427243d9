#pragma once

// Helpers for the tests that write files: scratch directories and file contents.

#include <dirent.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zoret::testing {

/// A fresh directory under the test temp folder, removed with everything in it,
/// even after a test took its permissions away.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "zoret-scratch-XXXXXX";
    made_ = ::mkdtemp(pattern.data()) != nullptr;
    EXPECT_TRUE(made_) << "cannot create " << pattern;
    // Without a directory, files go nowhere rather than to the root.
    path_ = made_ ? pattern : "/nonexistent-zoret-scratch";
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    if (!made_) return;
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] std::string file(const std::string& name) const { return path_ + "/" + name; }

  /// Every name in the directory, hidden ones included, sorted.
  [[nodiscard]] std::vector<std::string> names() const {
    std::vector<std::string> out;
    if (DIR* dir = ::opendir(path_.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") out.push_back(name);
      }
      ::closedir(dir);
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::string path_;
  bool made_ = false;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

/// The decompressed content of a gzip stream, or "<gzip error>".
inline std::string gunzip(const std::string& bytes) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return "<gzip error>";
  std::string out;
  char buffer[1 << 16];
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  }
  const bool complete = status == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return complete ? out : "<gzip error>";
}

inline std::size_t count_of(const std::string& text, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace zoret::testing
