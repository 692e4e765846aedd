// A missing key or position is named in the error's context.
#include <gtest/gtest.h>

#include <string>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::RaisedBy;

TEST(ErrorContext, AMissingKeyOrPositionIsNamed) {
  const TavrixPtr map = Tavrix::Create();
  map->SetMap();
  map->Item("port", 8080);
  const Error key = RaisedBy([&] { (void)map->Item("host"); });
  EXPECT_EQ(key.Number(), err::kInvalidProcedureCall);
  EXPECT_EQ(key.Context(), "no item has the key \"host\"");

  const TavrixPtr array = Tavrix::Create();
  array->SetArray();
  array->AddLast(1);
  array->AddLast(2);
  const Error position = RaisedBy([&] { (void)array->Item(7); });
  EXPECT_EQ(position.Number(), err::kSubscriptOutOfRange);
  EXPECT_EQ(position.Context(), "no item at position 7 of 2");
  EXPECT_STREQ(position.what(), "Subscript out of range (no item at position 7 of 2)");
}

}  // namespace
}  // namespace quenlo
