#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace zoret::detail {

/// Writes into a string through a position, in room made ahead (the string is
/// resized, never appended to, while a cursor is open): JSON is mostly short
/// pieces, and appending each one spent more on the string's bookkeeping (size,
/// terminator, a capacity check and a library call per piece) than on the bytes.
/// The string holds unwritten room past the position until `close` cuts it back,
/// so nobody may read it while the cursor is open.
class TextCursor {
 public:
  explicit TextCursor(std::string& out) noexcept : out_(out), at_(out.size()), limit_(at_) {}

  /// Makes room for `n` more bytes; the puts after it may then write them.
  void room(std::size_t n) {
    if (limit_ - at_ < n) grow(n);
  }
  void put(char c) noexcept { out_[at_++] = c; }
  void put(std::string_view text) noexcept {
    std::memcpy(out_.data() + at_, text.data(), text.size());
    at_ += text.size();
  }
  /// Where the next byte goes, for a writer that fills room made ahead itself;
  /// `advance` then counts what it wrote.
  [[nodiscard]] char* here() noexcept { return out_.data() + at_; }
  void advance(std::size_t n) noexcept { at_ += n; }
  /// How long the string is once closed.
  [[nodiscard]] std::size_t size() const noexcept { return at_; }

  /// The string, cut back to what was written, for a writer that appends; `resume`
  /// then goes on after whatever that writer added.
  std::string& appender() {
    out_.resize(at_);
    limit_ = at_;
    return out_;
  }
  void resume() noexcept { at_ = limit_ = out_.size(); }
  /// Cuts the string back to what was written; writing may go on after it.
  void close() {
    out_.resize(at_);
    limit_ = at_;
  }

 private:
  void grow(std::size_t n) {
    // Room the string has already reserved is taken first.
    out_.resize(std::max({out_.capacity(), out_.size() * 2, at_ + n + 256}));
    limit_ = out_.size();
  }

  std::string& out_;
  std::size_t at_;
  std::size_t limit_;
};

}  // namespace zoret::detail
