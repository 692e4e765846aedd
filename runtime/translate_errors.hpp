// The guard every public member runs its work in, so that no exception but quenlo::Error
// leaves the library.
#pragma once

#include <new>

#include "quenlo/error.hpp"

namespace quenlo {

/// Runs `body`, turning std::bad_alloc into runtime error 7 "Out of memory". Every public member
/// that may allocate runs its work through this.
template <class Body>
decltype(auto) TranslateErrors(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    RaiseRuntimeError(err::kOutOfMemory);
  }
}

}  // namespace quenlo
