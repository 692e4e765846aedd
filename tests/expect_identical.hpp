// EXPECT_IDENTICAL: the same type and the same value, where a test checks the exact type a
// value is stored with (operator== compares numbers across types).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "quenlo/variant.hpp"

namespace quenlo::testing {

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

#define EXPECT_IDENTICAL(a, b) EXPECT_PRED_FORMAT2(::quenlo::testing::AssertIdentical, a, b)
#define ASSERT_IDENTICAL(a, b) ASSERT_PRED_FORMAT2(::quenlo::testing::AssertIdentical, a, b)
