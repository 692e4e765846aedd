// Helpers shared by the object string and file tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo::serial_test {

/// Runs `body` and checks that it raises the runtime or library error `number`.
template <class Body>
void ExpectError(std::int32_t number, Body&& body) {
  try {
    body();
    ADD_FAILURE() << "expected error " << number << ", nothing was raised";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), number) << error.Description();
  }
}

inline TavrixPtr MakeKind(TavrixKind kind) {
  TavrixPtr container = Tavrix::Create();
  if (kind == KindMap) container->SetMap();
  if (kind == KindBoundedArray) container->SetArray(100);
  if (kind == KindUnboundedArray) container->SetArray();
  if (kind == KindNil) container->SetNil();
  if (kind == KindSet) container->SetSet();
  if (kind == KindStack) container->SetStack();
  if (kind == KindQueue) container->SetQueue();
  return container;
}

inline TavrixPtr ArrayOf(std::initializer_list<Variant> values, TavrixKind kind = KindUnboundedArray) {
  TavrixPtr array = MakeKind(kind);
  for (const Variant& value : values) array->AddLast(value);
  return array;
}

inline TavrixPtr Read(std::string_view text) {
  TavrixPtr container = Tavrix::Create();
  container->SetObjectString(text);
  return container;
}

/// What a failed read or import must leave as it was: kind, bound, tag and contents.
inline std::string State(const Tavrix& container) {
  return std::to_string(container.Kind()) + " " + std::to_string(container.Bound()) + " " + container.Tag() +
         " " + container.GetObjectString();
}

/// A Map {k: 1} tagged "kept": the target of reads that must fail.
inline TavrixPtr MakeTarget() {
  TavrixPtr target = MakeKind(KindMap);
  target->Item("k", 1);
  target->Tag("kept");
  return target;
}

/// Checks that reading `text` raises `number` and leaves the target unchanged.
inline void ExpectReadFails(std::int32_t number, std::string_view text) {
  SCOPED_TRACE(std::string(text));
  const TavrixPtr target = MakeTarget();
  const std::string before = State(*target);
  ExpectError(number, [&] { target->SetObjectString(text); });
  EXPECT_EQ(State(*target), before);
}

}  // namespace quenlo::serial_test
