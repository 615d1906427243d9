#include "zoret/json/allocator.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>

// Under AddressSanitizer a kept block is poisoned until it is taken again, so a
// use after free of a JSON value is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define ZORET_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZORET_ASAN 1
#endif
#endif
#if defined(ZORET_ASAN)
#include <sanitizer/asan_interface.h>
#define ZORET_POISON(block, bytes) ASAN_POISON_MEMORY_REGION(block, bytes)
#define ZORET_UNPOISON(block, bytes) ASAN_UNPOISON_MEMORY_REGION(block, bytes)
#else
#define ZORET_POISON(block, bytes) static_cast<void>(0)
#define ZORET_UNPOISON(block, bytes) static_cast<void>(0)
#endif

namespace zoret::detail {
namespace {

constexpr std::size_t kGranule = 16;
// Tree nodes of objects are 80 bytes, strings 32, containers 24 to 48; element
// buffers of short arrays fit too.
constexpr std::size_t kLargestKept = 128;
constexpr std::size_t kClasses = kLargestKept / kGranule;
// Enough for a FAQ page of a hundred items; at most kClasses * kKeptPerClass
// blocks, 576 KB, stay with a thread.
constexpr std::uint32_t kKeptPerClass = 1024;

struct FreeBlock {
  FreeBlock* next;
};

/// The blocks a thread keeps, by size class. Plain data, so that reaching it costs
/// one thread-local lookup and no guard; a Releaser made with the first kept
/// block frees them with the thread. A block freed after that (by a destructor
/// that runs later) goes straight back to the allocator.
struct KeptBlocks {
  std::array<FreeBlock*, kClasses> head;
  std::array<std::uint32_t, kClasses> count;
  bool releaser_made;
  bool gone;
};

thread_local KeptBlocks kept_blocks{};

struct Releaser {
  Releaser() = default;
  Releaser(const Releaser&) = delete;
  Releaser& operator=(const Releaser&) = delete;
  ~Releaser() {
    KeptBlocks& kept = kept_blocks;
    kept.gone = true;
    for (std::size_t c = 0; c < kClasses; ++c) {
      while (kept.head[c] != nullptr) {
        FreeBlock* block = kept.head[c];
        ZORET_UNPOISON(block, (c + 1) * kGranule);
        kept.head[c] = block->next;
        ::operator delete(block);
      }
      kept.count[c] = 0;
    }
  }
};

constexpr std::size_t class_of(std::size_t bytes) noexcept { return (bytes - 1) / kGranule; }

}  // namespace

// Small blocks are always made and freed at their class's size, whether or not
// they pass through the thread's store.
void* take_json_block(std::size_t bytes) {
  if (bytes == 0 || bytes > kLargestKept) return ::operator new(bytes);
  const std::size_t c = class_of(bytes);
  KeptBlocks& kept = kept_blocks;
  if (FreeBlock* block = kept.head[c]) {
    ZORET_UNPOISON(block, (c + 1) * kGranule);
    kept.head[c] = block->next;
    --kept.count[c];
    return block;
  }
  return ::operator new((c + 1) * kGranule);
}

void give_json_block(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes == 0 || bytes > kLargestKept) {
    ::operator delete(block);
    return;
  }
  const std::size_t c = class_of(bytes);
  KeptBlocks& kept = kept_blocks;
  if (kept.count[c] == kKeptPerClass || kept.gone) {
    ::operator delete(block);
    return;
  }
  if (!kept.releaser_made) {
    kept.releaser_made = true;
    thread_local Releaser releaser;
    static_cast<void>(releaser);
  }
  auto* free_block = static_cast<FreeBlock*>(block);
  free_block->next = kept.head[c];
  ZORET_POISON(free_block, (c + 1) * kGranule);
  kept.head[c] = free_block;
  ++kept.count[c];
}

std::size_t json_blocks_kept() noexcept {
  std::size_t total = 0;
  for (const std::uint32_t n : kept_blocks.count) total += n;
  return total;
}

}  // namespace zoret::detail
