// Expectations the tests share: the error a call raises, and values of the very same type.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "quenlo/variant.hpp"

namespace quenlo::testing {

/// The number of the quenlo::Error that `call` raises, or 0 when it raises none.
inline std::int32_t ErrorNumberOf(auto&& call) try {
  call();
  return 0;
} catch (const Error& error) {
  return error.Number();
}

/// The quenlo::Error that `call` raises; a test failure when it raises none.
inline Error RaisedBy(auto&& call) {
  try {
    call();
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error was raised";
  return Error(0, "", "");
}

/// Expects `call` to raise `number`: the library's own errors with the source "Tavrix" and
/// their text, any other number with the runtime's source and classic text.
inline void ExpectError(std::int32_t number, auto&& call) {
  const std::string_view own_text = number == ErrSubscriptOutOfRange ? "Subscript out of range"
                                    : number == ErrDuplicateValue    ? "Duplicate value not allowed"
                                    : number == ErrInvalidOperation ? "Operation not valid for this data type"
                                                                    : "";
  try {
    call();
    ADD_FAILURE() << "no error was raised, expected " << number;
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), number) << error.what();
    EXPECT_EQ(error.Source(), own_text.empty() ? "Quenlo" : "Tavrix");
    EXPECT_EQ(error.Description(), own_text.empty() ? RuntimeErrorText(number) : own_text);
  }
}

inline ::testing::AssertionResult AssertIdentical(const char* a_text, const char* b_text, const Variant& a,
                                                  const Variant& b) {
  if (Identical(a, b)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << a_text << " is " << Describe(a) << ", not identical to " << b_text << ", " << Describe(b);
}

inline ::testing::AssertionResult AssertIdentical(const char* a_text, const char* b_text,
                                                  const std::vector<Variant>& a,
                                                  const std::vector<Variant>& b) {
  if (a.size() != b.size()) {
    return ::testing::AssertionFailure()
           << a_text << " has " << a.size() << " values, " << b_text << " " << b.size();
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!Identical(a[i], b[i])) {
      return ::testing::AssertionFailure() << a_text << " holds " << Describe(a[i]) << " at " << i << ", "
                                           << b_text << " holds " << Describe(b[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quenlo::testing

/// The same type and the same value, where a test checks the exact type a value is stored with
/// (operator== compares numbers across types).
#define EXPECT_IDENTICAL(a, b) EXPECT_PRED_FORMAT2(::quenlo::testing::AssertIdentical, a, b)
#define ASSERT_IDENTICAL(a, b) ASSERT_PRED_FORMAT2(::quenlo::testing::AssertIdentical, a, b)
