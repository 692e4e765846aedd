// The number of the error a call raises, for the runtime tests.
#pragma once

#include <cstdint>

#include "quenlo/error.hpp"

namespace quenlo::testing {

/// The number of the quenlo::Error that `call` raises, or 0 when it raises none.
inline std::int32_t ErrorNumberOf(auto&& call) try {
  call();
  return 0;
} catch (const Error& error) {
  return error.Number();
}

}  // namespace quenlo::testing
