// GetObjectString: the exact text of every kind and element form, cycles, shared children and
// failures.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

using testing::ArrayOf;
using testing::ExpectError;
using testing::Make;

TEST(ObjectStringWriter, WritesTheFormatExamplesAndTheBodyOfEachKind) {
  const TavrixPtr long_value = Tavrix::Create();
  long_value->Item(1, Variant::Long(7));
  EXPECT_EQ(long_value->GetObjectString(), R"(\11000\\3\7)");
  EXPECT_EQ(Make(KindNil)->GetObjectString(), R"(\11000\nil)");
  EXPECT_EQ(Make(KindMap)->GetObjectString(), R"(\11000\{})");
  EXPECT_EQ(Make(KindUnboundedArray)->GetObjectString(), R"(\11000\[])");
  EXPECT_EQ(Make(KindSet)->GetObjectString(), R"(\11000\())");
  EXPECT_EQ(Make(KindStack)->GetObjectString(), R"(\11000\<>)");
  EXPECT_EQ(Make(KindQueue)->GetObjectString(), "\\11000\\`\u00B4");

  const TavrixPtr inner = Make(KindMap);
  inner->Item("x", 2.5);
  EXPECT_EQ(ArrayOf({Variant::Integer(1), "ab", inner})->GetObjectString(),
            R"(\11000\[\2\1, \8\ab, \11000\{x: \5\2.5}])");
  const TavrixPtr set = Tavrix::Create();
  set->SetSet("a", Variant::Integer(2));
  EXPECT_EQ(set->GetObjectString(), R"(\11000\(\8\a, \2\2))");

  const TavrixPtr map = Make(KindMap);
  map->Item("a", 1);
  map->Item(5, "x");  // no position 5: a new entry under the number key
  EXPECT_EQ(map->GetObjectString(), R"(\11000\{a: \2\1, 5: \8\x})");
  EXPECT_EQ(Make(KindBoundedArray, {true, Variant::Byte(200)})->GetObjectString(),
            R"(\11000\[\11\True, \17\200])");
  const TavrixPtr stack = Make(KindStack);
  stack->Push(1);
  stack->Push(2);
  EXPECT_EQ(stack->GetObjectString(), R"(\11000\<\2\2, \2\1>)");
  const TavrixPtr queue = Make(KindQueue);
  queue->Push(1);
  queue->Push("two");
  EXPECT_EQ(queue->GetObjectString(), "\\11000\\`\\2\\1, \\8\\two\u00B4");
}

// An object that is not a container: written as a reference.
class Plain : public Object {};

TEST(ObjectStringWriter, WritesScalarsByTagAndOtherObjectsByIdentity) {
  const auto plain = std::make_shared<Plain>();
  EXPECT_EQ(ArrayOf({Variant(), Variant::Null(), "a\\b", " x, y ", -0.5, Variant::Nothing(), plain})
                ->GetObjectString(),
            R"(\11000\[\0\, \1\, \8\a\b, \8\ x, y , \5\-0.5, \9\0, \9\)" +
                std::to_string(IdentityRegistry::IdentityOf(plain)) + "]");
}

TEST(ObjectStringWriter, CutsACycleButWritesASharedChildInFull) {
  const TavrixPtr array = Make(KindUnboundedArray);
  array->AddLast(array);
  const std::string cycle =
      R"(\11000\[\11000\[\9\)" + std::to_string(IdentityRegistry::IdentityOf(array)) + "]]";
  EXPECT_EQ(array->GetObjectString(), cycle);
  EXPECT_EQ(array->GetObjectString(), cycle);  // the walk left nothing marked
  array->RemoveAll();                          // breaks the cycle so the container is released

  const TavrixPtr child = Make(KindMap);
  child->Item("a", 1);
  EXPECT_EQ(ArrayOf({child, child})->GetObjectString(), R"(\11000\[\11000\{a: \2\1}, \11000\{a: \2\1}])");
}

TEST(ObjectStringWriter, FailsWithoutPartialTextAndLeavesNothingMarked) {
  ExpectError(9, [] { (void)Tavrix::Create()->GetObjectString(); });

  const TavrixPtr child = ArrayOf({Variant::Array({1, 2})});
  const TavrixPtr parent = ArrayOf({child});
  ExpectError(13, [&] { (void)parent->GetObjectString(); });
  child->RemoveAll();
  child->AddLast(5);
  EXPECT_EQ(parent->GetObjectString(), R"(\11000\[\11000\[\2\5]])");  // entered in full again

  parent->AddLast(Tavrix::Create());
  ExpectError(9, [&] { (void)parent->GetObjectString(); });
}

}  // namespace
}  // namespace quenlo
