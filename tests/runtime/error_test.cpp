#include "quenlo/error.hpp"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "runtime/translate_errors.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::RaisedBy;

TEST(Error, RuntimeErrorsCarryNumberSourceQuenloAndClassicTextAndBadAllocIsOutOfMemory) {
  EXPECT_EQ(RuntimeErrorText(0), "Application-defined or object-defined error");
  EXPECT_EQ(RuntimeErrorText(-2147206504), "Application-defined or object-defined error");
  const Error duplicate = RaisedBy([] { RaiseRuntimeError(err::kDuplicateKey); });
  EXPECT_EQ(duplicate.Number(), 457);
  EXPECT_EQ(duplicate.Source(), "Quenlo");
  EXPECT_STREQ(duplicate.what(), "This key is already associated with an element of this collection");
  EXPECT_EQ(TranslateErrors([] { return 42; }), 42);
  const Error memory = RaisedBy([] { TranslateErrors([]() -> int { throw std::bad_alloc(); }); });
  EXPECT_EQ(memory.Number(), err::kOutOfMemory);
  EXPECT_EQ(memory.Description(), "Out of memory");
}

TEST(Error, AContextSaysWhereAndWhatJoinsItToTheDescription) {
  const Error plain = RaisedBy([] { RaiseRuntimeError(err::kArrayLocked); });
  EXPECT_EQ(plain.Description(), "This array is fixed or temporarily locked");
  EXPECT_EQ(plain.Context(), "");
  const Error placed = RaisedBy([] { RaiseRuntimeError(err::kSubscriptOutOfRange, "at byte 12"); });
  EXPECT_EQ(placed.Description(), "Subscript out of range");
  EXPECT_EQ(placed.Context(), "at byte 12");
  EXPECT_STREQ(placed.what(), "Subscript out of range (at byte 12)");
}

}  // namespace
}  // namespace quenlo
