#pragma once

// A staged file written through a buffer, optionally as a gzip stream (zlib's
// deflate with the gzip wrapper; no name and a zero time in the header, so the
// same input always gives the same bytes).

#include <memory>
#include <string>
#include <string_view>

#include "site/staged_file.hpp"

namespace zoret::site::detail {

class OutputFile {
 public:
  /// No compression.
  static constexpr int kPlain = -1;

  OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  /// Starts a file in `dir`; `gzip_level` is kPlain or a zlib level 1-9.
  /// Returns 0 or an errno value (ENOMEM when zlib cannot start).
  [[nodiscard]] int open(const Directory& dir, std::string_view hint, int gzip_level);
  [[nodiscard]] int write(std::string_view bytes);
  /// Writes what is buffered, ends the gzip stream and seals the file.
  [[nodiscard]] int finish();
  /// The sealed file, after `finish`.
  [[nodiscard]] StagedFile take() { return std::move(file_); }

 private:
  int flush();
  int deflate_into_file(std::string_view bytes, int mode);

  struct Deflater;
  StagedFile file_;
  std::unique_ptr<Deflater> deflater_;
  std::string buffer_;
  std::string compressed_;
};

}  // namespace zoret::site::detail
