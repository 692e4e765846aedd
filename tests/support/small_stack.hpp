// Runs test code on a thread with a small stack, as thread pools and other platforms give their
// secondary threads, so that a test shows that a walk does not recurse once per level.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <stdexcept>

namespace quenlo::testing {

inline constexpr std::size_t kSmallStackBytes = 64 * 1024;

/// Runs `body` on a new thread whose stack is kSmallStackBytes long and waits for it; throws
/// here again what `body` throws.
inline void RunOnSmallStack(const std::function<void()>& body) {
  struct Call {
    const std::function<void()>& body;
    std::exception_ptr failure;
  };
  Call call{body, nullptr};
  void* (*const run)(void*) = [](void* argument) -> void* {
    Call& running = *static_cast<Call*>(argument);
    try {
      running.body();
    } catch (...) {
      running.failure = std::current_exception();
    }
    return nullptr;
  };

  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) throw std::runtime_error("pthread_attr_init failed");
  pthread_t thread;
  int failed = pthread_attr_setstacksize(&attributes, kSmallStackBytes);
  if (failed == 0) failed = pthread_create(&thread, &attributes, run, &call);
  pthread_attr_destroy(&attributes);
  if (failed != 0) throw std::runtime_error("cannot start a thread with a small stack");
  pthread_join(thread, nullptr);
  if (call.failure) std::rethrow_exception(call.failure);
}

}  // namespace quenlo::testing
