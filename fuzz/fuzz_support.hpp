// What the fuzz targets share: failing loudly, the consistency check, and a live object for
// the "\9\" elements of the texts they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"

/// The entry point of every target: libFuzzer calls it, or replay_main.cpp in other builds.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace quenlo::fuzz {

/// Reports `what` and stops the run, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  __builtin_trap();
}

/// Fails unless `container` and everything it reaches keep the rules of the container record.
inline void RequireConsistent(const Tavrix& container, const char* after) {
  const std::string broken = container.FindInconsistency();
  if (!broken.empty()) Fail(std::string("inconsistent after ") + after + ": " + broken);
}

/// Gives a live object an identity once, so that a "\9\" element of a text can name it.
inline void RegisterSharedObject() {
  static const auto object = std::make_shared<Object>();
  static const std::int32_t identity = IdentityRegistry::IdentityOf(object);
  (void)identity;
}

}  // namespace quenlo::fuzz
