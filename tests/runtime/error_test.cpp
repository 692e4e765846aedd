#include "quenlo/error.hpp"

#include <gtest/gtest.h>

#include <new>
#include <string>

namespace quenlo {
namespace {

TEST(Error, CarriesNumberSourceAndDescription) {
  const Error error(-2147206504, "Tavrix", "Subscript out of range");
  EXPECT_EQ(error.Number(), -2147206504);
  EXPECT_EQ(error.Source(), "Tavrix");
  EXPECT_EQ(error.Description(), "Subscript out of range");
  EXPECT_STREQ(error.what(), "Subscript out of range");
}

TEST(Error, RuntimeErrorsCarryTheSourceQuenloAndTheClassicText) {
  EXPECT_EQ(RuntimeErrorText(9), "Subscript out of range");
  EXPECT_EQ(RuntimeErrorText(450), "Wrong number of arguments or invalid property assignment");
  EXPECT_EQ(RuntimeErrorText(0), "Application-defined or object-defined error");
  EXPECT_EQ(RuntimeErrorText(-2147206504), "Application-defined or object-defined error");
  try {
    RaiseRuntimeError(err::kDuplicateKey);
    FAIL() << "no error raised";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 457);
    EXPECT_EQ(error.Source(), "Quenlo");
    EXPECT_EQ(std::string(error.what()), "This key is already associated with an element of this collection");
  }
}

TEST(Error, TranslateErrorsTurnsBadAllocIntoOutOfMemory) {
  EXPECT_EQ(TranslateErrors([] { return 42; }), 42);
  try {
    TranslateErrors([]() -> int { throw std::bad_alloc(); });
    FAIL() << "no error raised";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), err::kOutOfMemory);
    EXPECT_EQ(error.Description(), "Out of memory");
  }
}

}  // namespace
}  // namespace quenlo
