// Helpers shared by the object string and file tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
  switch (kind) {
    case KindMap:
      container->SetMap();
      break;
    case KindBoundedArray:
      container->SetArray(100);
      break;
    case KindUnboundedArray:
      container->SetArray();
      break;
    case KindVariant:
      break;
    case KindNil:
      container->SetNil();
      break;
    case KindSet:
      container->SetSet();
      break;
    case KindStack:
      container->SetStack();
      break;
    case KindQueue:
      container->SetQueue();
      break;
  }
  return container;
}

/// Reads `text` into a new container.
inline TavrixPtr Read(std::string_view text) {
  TavrixPtr container = Tavrix::Create();
  container->SetObjectString(text);
  return container;
}

/// What a failed read must leave as it was: kind, bound, contents and tag.
struct Snapshot {
  TavrixKind kind;
  std::int32_t bound;
  std::string text;
  std::string tag;

  explicit Snapshot(const Tavrix& container)
      : kind(container.Kind()),
        bound(container.Bound()),
        text(container.GetObjectString()),
        tag(container.Tag()) {}
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

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
  const Snapshot before(*target);
  ExpectError(number, [&] { target->SetObjectString(text); });
  EXPECT_TRUE(Snapshot(*target) == before);
}

/// A chain of `nested` arrays below a top-level array, the innermost one empty.
inline std::string NestedArraysText(int nested) {
  std::string text = "\\11000\\[";
  for (int level = 0; level < nested; ++level) text += "\\11000\\[";
  text.append(static_cast<std::size_t>(nested) + 1, ']');
  return text;
}

}  // namespace quenlo::serial_test
