#include "quenlo/error.hpp"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "runtime/translate_errors.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::RaisedBy;

// A runtime error carries its number, the source Quenlo, the classic text and a context that says
// where; bad_alloc becomes Out of memory.
TEST(Error, RuntimeErrorsCarryNumberSourceClassicTextAndContext) {
  EXPECT_EQ(RuntimeErrorText(0), "Application-defined or object-defined error");
  EXPECT_EQ(RuntimeErrorText(-2147206504), "Application-defined or object-defined error");
  const Error duplicate = RaisedBy([] { RaiseRuntimeError(err::kDuplicateKey); });
  EXPECT_EQ(duplicate.Number(), 457);
  EXPECT_EQ(duplicate.Source(), "Quenlo");
  EXPECT_EQ(duplicate.Context(), "");
  EXPECT_STREQ(duplicate.what(), "This key is already associated with an element of this collection");
  const Error placed = RaisedBy([] { RaiseRuntimeError(err::kSubscriptOutOfRange, "at byte 12"); });
  EXPECT_EQ(placed.Description(), "Subscript out of range");
  EXPECT_EQ(placed.Context(), "at byte 12");
  EXPECT_STREQ(placed.what(), "Subscript out of range (at byte 12)");
  EXPECT_EQ(TranslateErrors([] { return 42; }), 42);
  const Error memory = RaisedBy([] { TranslateErrors([]() -> int { throw std::bad_alloc(); }); });
  EXPECT_EQ(memory.Number(), err::kOutOfMemory);
  EXPECT_EQ(memory.Description(), "Out of memory");
}

}  // namespace
}  // namespace quenlo
