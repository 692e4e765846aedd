// Counts the heap bytes the program holds, through replaced global operator new and delete.
// Counting is off until a LiveBytesScope asks for it, so the other benchmarks pay one test of a
// flag per allocation and nothing else.
#pragma once

#include <cstdint>

namespace quenlo::bench {

/// Measures the heap bytes (as malloc hands them out) allocated and not yet released while it
/// lives. Blocks allocated before it started are not counted when they are released. Only what
/// goes through operator new is seen: a library that takes memory from malloc, mmap or an
/// allocator of its own escapes the count.
class LiveBytesScope {
 public:
  LiveBytesScope() noexcept;
  ~LiveBytesScope();
  LiveBytesScope(const LiveBytesScope&) = delete;
  LiveBytesScope& operator=(const LiveBytesScope&) = delete;

  /// The bytes allocated through operator new and not released since this scope began.
  std::int64_t LiveBytes() const noexcept;
  /// The largest LiveBytes() was at any moment since this scope began.
  std::int64_t PeakBytes() const noexcept;
  /// The blocks allocated through operator new and not released since this scope began.
  std::int64_t LiveBlocks() const noexcept;
};

}  // namespace quenlo::bench
