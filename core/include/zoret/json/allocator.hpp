#pragma once

#include <cstddef>
#include <type_traits>

namespace zoret {
namespace detail {

/// A block of `bytes` for a JSON value's parts; see JsonAllocator.
[[nodiscard]] void* take_json_block(std::size_t bytes);
void give_json_block(void* block, std::size_t bytes) noexcept;
/// How many freed blocks the calling thread keeps for reuse.
[[nodiscard]] std::size_t json_blocks_kept() noexcept;

}  // namespace detail

/// The allocator of Json's own parts: its objects' tree nodes, its strings and
/// containers, its arrays' element buffers. A page build makes and frees a few
/// hundred of these small blocks, far more of one size than the C library keeps
/// at hand per thread; past that, glibc's frees and mallocs take their slow paths
/// and its next large allocation merges them all. So blocks up to a small size
/// are kept by the thread, a bounded number of each size, for the next values.
/// Stateless: any instance frees what any other made, on any thread.
template <class T>
struct JsonAllocator {
  // The member names the standard's allocator requirements use.
  // NOLINTBEGIN(readability-identifier-naming)
  using value_type = T;
  using is_always_equal = std::true_type;
  using propagate_on_container_move_assignment = std::true_type;
  // NOLINTEND(readability-identifier-naming)

  JsonAllocator() noexcept = default;
  template <class U>
  // NOLINTNEXTLINE(google-explicit-constructor): containers rebind allocators implicitly
  JsonAllocator(const JsonAllocator<U>& /*other*/) noexcept {}

  [[nodiscard]] T* allocate(std::size_t n) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    // A size past the address space saturates, and the allocator then fails as
    // it does for any request too large.
    constexpr std::size_t kMost = static_cast<std::size_t>(-1) / sizeof(T);
    const std::size_t bytes = n > kMost ? static_cast<std::size_t>(-1) : n * sizeof(T);
    return static_cast<T*>(detail::take_json_block(bytes));
  }
  void deallocate(T* block, std::size_t n) noexcept {
    detail::give_json_block(block, n * sizeof(T));
  }

  friend bool operator==(const JsonAllocator& /*a*/, const JsonAllocator& /*b*/) noexcept {
    return true;
  }
};

}  // namespace zoret
