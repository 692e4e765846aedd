// Runs test code on a thread with a small stack, as thread pools and other platforms give their
// secondary threads, so that a test shows that a walk does not recurse once per level.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace quenlo::testing {

inline constexpr std::size_t kSmallStackBytes = 64 * 1024;

/// Runs `body` on a new thread whose stack is `stack_bytes` long and waits for it: returns what
/// `body` returns, and throws here again what it throws.
template <class Body>
auto RunOnSmallStack(Body&& body, std::size_t stack_bytes = kSmallStackBytes) {
  using Result = std::invoke_result_t<Body&>;
  struct Call {
    Body& body;
    std::optional<std::conditional_t<std::is_void_v<Result>, bool, Result>> result;
    std::exception_ptr failure;
  };
  Call call{body, std::nullopt, nullptr};
  void* (*const run)(void*) = [](void* argument) -> void* {
    Call& running = *static_cast<Call*>(argument);
    try {
      if constexpr (std::is_void_v<Result>) {
        running.body();
        running.result.emplace(true);
      } else {
        running.result.emplace(running.body());
      }
    } catch (...) {
      running.failure = std::current_exception();
    }
    return nullptr;
  };

  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) throw std::runtime_error("pthread_attr_init failed");
  pthread_t thread;
  int failed = pthread_attr_setstacksize(&attributes, stack_bytes);
  if (failed == 0) failed = pthread_create(&thread, &attributes, run, &call);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    throw std::runtime_error("cannot start a thread with a stack of " + std::to_string(stack_bytes) +
                             " bytes");
  }
  pthread_join(thread, nullptr);
  if (call.failure) std::rethrow_exception(call.failure);
  if constexpr (!std::is_void_v<Result>) return std::move(*call.result);
}

}  // namespace quenlo::testing
