#pragma once

#include <cstddef>
#include <string>

namespace zoret::detail {

/// A text buffer kept by the thread, for text that is copied out or consumed at
/// once (hashed, turned into a Python str). Writing a page's few kilobytes into a
/// fresh string costs a large allocation each time; with glibc a large allocation
/// also merges every small block freed since the last one, and a page build frees
/// them by the hundred. The text starts empty. A lease taken while the thread's
/// buffer is already leased gets a string of its own, so nesting is safe.
class ScratchText {
 public:
  ScratchText() {
    if (!leased()) {
      leased() = true;
      text_ = &kept();
      text_->clear();
    }
  }
  ScratchText(const ScratchText&) = delete;
  ScratchText& operator=(const ScratchText&) = delete;
  /// A buffer that grew past the usual page is let go, so one huge text is not
  /// held for the thread's life.
  ~ScratchText() {
    if (text_ != &own_) {
      if (text_->capacity() > kKeptCapacity) std::string().swap(*text_);
      leased() = false;
    }
  }

  std::string& text() noexcept { return *text_; }

 private:
  static constexpr std::size_t kKeptCapacity = std::size_t{64} << 10;
  static std::string& kept() {
    thread_local std::string text;
    return text;
  }
  static bool& leased() {
    thread_local bool flag = false;
    return flag;
  }

  std::string own_;
  std::string* text_ = &own_;
};

}  // namespace zoret::detail
