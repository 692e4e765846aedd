// What survives writing and reading back, and what does not, and the nesting limit of both
// directions. Texts within the round-trip rules reading back equal is the object-string fuzz
// target's check.
#include <gtest/gtest.h>

#include <string>

#include "quenlo/tavrix.hpp"
#include "serial/serial_support.hpp"

namespace quenlo {
namespace {

using serial_test::MakeKind;
using serial_test::Read;

TEST(ObjectStringRoundTrip, LosesWhatTheRulesSayItLoses) {
  const TavrixPtr array = serial_test::ArrayOf(
      {"ab ", " ab", "x, \\8\\y", Variant(), Variant::Null(), MakeKind(KindNil)}, KindBoundedArray);
  const TavrixPtr read = Read(array->GetObjectString());
  EXPECT_EQ(read->Kind(), KindUnboundedArray);
  EXPECT_EQ(read->GetObjectString(), R"(\11000\[\8\ab, \8\ ab, \8\x, \8\y, \8\, \8\, \8\nil])");
}

// A chain of `nested` arrays below a top-level array, the innermost one empty.
std::string NestedArraysText(int nested) {
  std::string text = "\\11000\\[";
  for (int level = 0; level < nested; ++level) text += "\\11000\\[";
  return text.append(static_cast<std::size_t>(nested) + 1, ']');
}

TEST(ObjectStringRoundTrip, WritesAndReads1024LevelsAndRefusesDeeperWithError28) {
  const TavrixPtr top = Read(NestedArraysText(1024));
  EXPECT_EQ(top->GetObjectString(), NestedArraysText(1024));
  TavrixPtr innermost = top;
  while (innermost->Length() > 0) innermost = innermost->Item(1).ObjectAs<Tavrix>();
  innermost->AddLast(MakeKind(KindUnboundedArray));
  serial_test::ExpectError(28, [&] { (void)top->GetObjectString(); });
  EXPECT_EQ(top->Item(1).ObjectAs<Tavrix>()->GetObjectString(),
            NestedArraysText(1024));  // nothing left marked
  serial_test::ExpectReadFails(28, NestedArraysText(1025));
}

}  // namespace
}  // namespace quenlo
