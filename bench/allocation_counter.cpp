#include "bench/allocation_counter.hpp"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace quenlo::bench {
namespace {

std::atomic<bool> counting{false};
std::atomic<std::int64_t> live_bytes{0};
std::atomic<std::int64_t> peak_bytes{0};
std::atomic<std::int64_t> live_blocks{0};

void* Allocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  if (counting.load(std::memory_order_relaxed)) {
    const auto size_held = static_cast<std::int64_t>(malloc_usable_size(block));
    const std::int64_t now = live_bytes.fetch_add(size_held, std::memory_order_relaxed) + size_held;
    // The measured code runs on one thread: a plain maximum is enough.
    if (now > peak_bytes.load(std::memory_order_relaxed)) peak_bytes.store(now, std::memory_order_relaxed);
    live_blocks.fetch_add(1, std::memory_order_relaxed);
  }
  return block;
}

void Release(void* block) noexcept {
  if (block != nullptr && counting.load(std::memory_order_relaxed)) {
    live_bytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
    live_blocks.fetch_sub(1, std::memory_order_relaxed);
  }
  std::free(block);
}

}  // namespace

LiveBytesScope::LiveBytesScope() noexcept {
  live_bytes.store(0, std::memory_order_relaxed);
  peak_bytes.store(0, std::memory_order_relaxed);
  live_blocks.store(0, std::memory_order_relaxed);
  counting.store(true, std::memory_order_relaxed);
}

LiveBytesScope::~LiveBytesScope() {
  counting.store(false, std::memory_order_relaxed);
}

std::int64_t LiveBytesScope::LiveBytes() const noexcept {
  return live_bytes.load(std::memory_order_relaxed);
}

std::int64_t LiveBytesScope::PeakBytes() const noexcept {
  return peak_bytes.load(std::memory_order_relaxed);
}

std::int64_t LiveBytesScope::LiveBlocks() const noexcept {
  return live_blocks.load(std::memory_order_relaxed);
}

}  // namespace quenlo::bench

// The replaced global allocation functions. The aligned forms keep their library versions: the
// measured structures use none.
void* operator new(std::size_t size) {
  return quenlo::bench::Allocate(size);
}
void* operator new[](std::size_t size) {
  return quenlo::bench::Allocate(size);
}
void operator delete(void* block) noexcept {
  quenlo::bench::Release(block);
}
void operator delete[](void* block) noexcept {
  quenlo::bench::Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
  quenlo::bench::Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  quenlo::bench::Release(block);
}
