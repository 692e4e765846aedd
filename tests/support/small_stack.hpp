// Runs a piece of a test on a thread with a small stack, as thread pools give their threads, so
// that a member recursing once per nesting level would overflow it.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <stdexcept>

namespace quenlo::test {

inline constexpr std::size_t kSmallStack = 64 * 1024;

/// Runs `body` on a new thread with a stack of `stack_size` bytes and waits for it; an exception
/// `body` throws is thrown again here.
inline void RunOnSmallStack(const std::function<void()>& body, std::size_t stack_size = kSmallStack) {
  struct Task {
    const std::function<void()>* body;
    std::exception_ptr failure;
  } task{&body, nullptr};
  const auto run = [](void* argument) -> void* {
    auto* running = static_cast<Task*>(argument);
    try {
      (*running->body)();
    } catch (...) {
      running->failure = std::current_exception();
    }
    return nullptr;
  };
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stack_size);
  pthread_t thread;
  const int started = pthread_create(&thread, &attributes, run, &task);
  pthread_attr_destroy(&attributes);
  if (started != 0) throw std::runtime_error("cannot start a thread with a small stack");
  pthread_join(thread, nullptr);
  if (task.failure) std::rethrow_exception(task.failure);
}

}  // namespace quenlo::test
