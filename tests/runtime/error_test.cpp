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

TEST(Error, RuntimeErrorTextGivesTheClassicTexts) {
  EXPECT_EQ(RuntimeErrorText(5), "Invalid procedure call or argument");
  EXPECT_EQ(RuntimeErrorText(6), "Overflow");
  EXPECT_EQ(RuntimeErrorText(7), "Out of memory");
  EXPECT_EQ(RuntimeErrorText(9), "Subscript out of range");
  EXPECT_EQ(RuntimeErrorText(13), "Type mismatch");
  EXPECT_EQ(RuntimeErrorText(28), "Out of stack space");
  EXPECT_EQ(RuntimeErrorText(52), "Bad file name or number");
  EXPECT_EQ(RuntimeErrorText(53), "File not found");
  EXPECT_EQ(RuntimeErrorText(57), "Device I/O error");
  EXPECT_EQ(RuntimeErrorText(61), "Disk full");
  EXPECT_EQ(RuntimeErrorText(70), "Permission denied");
  EXPECT_EQ(RuntimeErrorText(75), "Path/File access error");
  EXPECT_EQ(RuntimeErrorText(76), "Path not found");
  EXPECT_EQ(RuntimeErrorText(91), "Object variable or With block variable not set");
  EXPECT_EQ(RuntimeErrorText(94), "Invalid use of Null");
  EXPECT_EQ(RuntimeErrorText(438), "Object doesn't support this property or method");
  EXPECT_EQ(RuntimeErrorText(449), "Argument not optional");
  EXPECT_EQ(RuntimeErrorText(450), "Wrong number of arguments or invalid property assignment");
  EXPECT_EQ(RuntimeErrorText(457), "This key is already associated with an element of this collection");
}

TEST(Error, RuntimeErrorTextOfAnUnknownNumber) {
  EXPECT_EQ(RuntimeErrorText(0), "Application-defined or object-defined error");
  EXPECT_EQ(RuntimeErrorText(1000), "Application-defined or object-defined error");
  EXPECT_EQ(RuntimeErrorText(-2147206504), "Application-defined or object-defined error");
}

TEST(Error, RaiseRuntimeErrorThrowsWithTheRuntimeSource) {
  try {
    RaiseRuntimeError(err::kDuplicateKey);
    FAIL() << "no error raised";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), 457);
    EXPECT_EQ(error.Source(), "Quenlo");
    EXPECT_EQ(error.Description(), RuntimeErrorText(457));
    EXPECT_EQ(std::string(error.what()), RuntimeErrorText(457));
  }
}

TEST(Error, TranslateErrorsTurnsBadAllocIntoOutOfMemory) {
  EXPECT_EQ(TranslateErrors([] { return 42; }), 42);
  try {
    TranslateErrors([]() -> int { throw std::bad_alloc(); });
    FAIL() << "no error raised";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), err::kOutOfMemory);
    EXPECT_EQ(error.Source(), "Quenlo");
  }
}

}  // namespace
}  // namespace quenlo
