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
    // An empty view may have no data at all, which memcpy must not be given.
    if (text.empty()) return;
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
    close();
    return out_;
  }
  void resume() noexcept { at_ = limit_ = out_.size(); }
  /// Cuts the string back to what was written; writing may go on after it.
  void close() {
    out_.resize(at_);
    limit_ = at_;
  }

 private:
  // Growing zero-fills the new room (std::string has no other way to lengthen),
  // so room doubles from what the text needs instead of taking the whole
  // capacity at once: a buffer kept from one long text would otherwise be filled
  // whole again for every short text written into it after.
  void grow(std::size_t n) {
    const std::size_t doubled = std::min(out_.capacity(), std::max(out_.size() * 2, kFirstRoom));
    out_.resize(std::max(doubled, at_ + n + 256));
    limit_ = out_.size();
  }

  static constexpr std::size_t kFirstRoom = 4096;

  std::string& out_;
  std::size_t at_;
  std::size_t limit_;
};

}  // namespace zoret::detail
