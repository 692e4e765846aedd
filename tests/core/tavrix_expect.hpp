// Test helpers shared by the container core and sequence tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo::testing {

/// The error `call` raises; a test failure when it raises none.
template <class Call>
Error ErrorOf(Call&& call) {
  try {
    call();
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error was raised";
  return Error(0, "", "");
}

/// Expects `call` to raise one of the library's own errors, with its source and text.
template <class Call>
void ExpectTavrixError(Call&& call, std::int32_t number, const std::string& description) {
  const Error error = ErrorOf(call);
  EXPECT_EQ(error.Number(), number);
  EXPECT_EQ(error.Source(), "Tavrix");
  EXPECT_EQ(error.Description(), description);
}

inline void ExpectInvalidOperation(auto&& call) {
  ExpectTavrixError(call, ErrInvalidOperation, "Operation not valid for this data type");
}
inline void ExpectOutOfRange(auto&& call) {
  ExpectTavrixError(call, ErrSubscriptOutOfRange, "Subscript out of range");
}

/// Expects `call` to raise the runtime error `number` (source "Quenlo").
template <class Call>
void ExpectRuntimeError(Call&& call, std::int32_t number) {
  const Error error = ErrorOf(call);
  EXPECT_EQ(error.Number(), number);
  EXPECT_EQ(error.Source(), "Quenlo");
}

/// A new empty container of `kind` (a bounded Array gets the Bound 2).
inline TavrixPtr MakeKind(TavrixKind kind) {
  TavrixPtr t = Tavrix::Create();
  switch (kind) {
    case KindMap:
      t->SetMap();
      break;
    case KindBoundedArray:
      t->SetArray(2);
      break;
    case KindUnboundedArray:
      t->SetArray();
      break;
    case KindVariant:
      break;
    case KindNil:
      t->SetNil();
      break;
    case KindSet:
      t->SetSet();
      break;
    case KindStack:
      t->SetStack();
      break;
    case KindQueue:
      t->SetQueue();
      break;
  }
  return t;
}

/// The elements of a container that Item reads, by position.
inline std::vector<Variant> ElementsOf(const Tavrix& t) {
  std::vector<Variant> elements;
  for (std::int32_t position = 1; position <= t.Length(); ++position) elements.push_back(t.Item(position));
  return elements;
}

/// The keys of a Map, in order.
inline std::vector<Variant> KeysOf(const Tavrix& map) {
  return ElementsOf(*map.GetKeys());
}

/// Whether an element is stored under `key_text`.
inline bool HasKey(const Tavrix& t, const std::string& key_text) {
  try {
    t.Item(key_text);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace quenlo::testing
