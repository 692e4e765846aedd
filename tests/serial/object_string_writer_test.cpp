// GetObjectString: the exact text of every kind and element form, cycles, shared children and
// failures.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "serial/serial_support.hpp"

namespace quenlo {
namespace {

using serial_test::ExpectError;
using serial_test::MakeKind;

TEST(ObjectStringWriter, WritesTheFormatExamplesExactly) {
  const TavrixPtr long_value = Tavrix::Create();
  long_value->Item(1, Variant::Long(7));
  EXPECT_EQ(long_value->GetObjectString(), R"(\11000\\3\7)");

  EXPECT_EQ(MakeKind(KindNil)->GetObjectString(), R"(\11000\nil)");
  EXPECT_EQ(MakeKind(KindMap)->GetObjectString(), R"(\11000\{})");

  const TavrixPtr inner = MakeKind(KindMap);
  inner->Item("x", 2.5);
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(Variant::Integer(1));
  array->AddLast("ab");
  array->AddLast(inner);
  EXPECT_EQ(array->GetObjectString(), R"(\11000\[\2\1, \8\ab, \11000\{x: \5\2.5}])");

  const TavrixPtr set = Tavrix::Create();
  set->SetSet("a", Variant::Integer(2));
  EXPECT_EQ(set->GetObjectString(), R"(\11000\(\8\a, \2\2))");
}

TEST(ObjectStringWriter, WritesTheBodyOfEachKind) {
  EXPECT_EQ(MakeKind(KindUnboundedArray)->GetObjectString(), R"(\11000\[])");
  EXPECT_EQ(MakeKind(KindSet)->GetObjectString(), R"(\11000\())");
  EXPECT_EQ(MakeKind(KindStack)->GetObjectString(), R"(\11000\<>)");
  EXPECT_EQ(MakeKind(KindQueue)->GetObjectString(), "\\11000\\`\u00B4");

  const TavrixPtr map = MakeKind(KindMap);
  map->Item("a", 1);
  map->Item("b", "x");
  EXPECT_EQ(map->GetObjectString(), R"(\11000\{a: \2\1, b: \8\x})");

  const TavrixPtr bounded = MakeKind(KindBoundedArray);
  bounded->AddLast(true);
  bounded->AddLast(Variant::Byte(200));
  EXPECT_EQ(bounded->GetObjectString(), R"(\11000\[\11\True, \17\200])");

  const TavrixPtr stack = MakeKind(KindStack);
  stack->Push(1);
  stack->Push(2);
  EXPECT_EQ(stack->GetObjectString(), R"(\11000\<\2\2, \2\1>)");

  const TavrixPtr queue = MakeKind(KindQueue);
  queue->Push(1);
  queue->Push("two");
  EXPECT_EQ(queue->GetObjectString(), "\\11000\\`\\2\\1, \\8\\two\u00B4");

  const TavrixPtr text = Tavrix::Create();
  text->Item(1, "abc");
  EXPECT_EQ(text->GetObjectString(), R"(\11000\\8\abc)");
}

TEST(ObjectStringWriter, WritesScalarsByTagAndKeysAsTheirText) {
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(Variant());
  array->AddLast(Variant::Null());
  array->AddLast("a\\b");
  array->AddLast(" x, y ");
  array->AddLast(Variant::Double(-0.5));
  EXPECT_EQ(array->GetObjectString(), R"(\11000\[\0\, \1\, \8\a\b, \8\ x, y , \5\-0.5])");

  const TavrixPtr map = MakeKind(KindMap);
  map->Item(5, 1);  // no position 5: a new entry under the number key
  EXPECT_EQ(map->GetObjectString(), R"(\11000\{5: \2\1})");
}

// An object that is not a container: written as a reference.
class Plain : public Object {};

TEST(ObjectStringWriter, WritesReferencesForOtherObjectsAndNothing) {
  const auto plain = std::make_shared<Plain>();
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(Variant::Nothing());
  array->AddLast(plain);
  EXPECT_EQ(array->GetObjectString(),
            "\\11000\\[\\9\\0, \\9\\" + std::to_string(IdentityRegistry::IdentityOf(plain)) + "]");
}

TEST(ObjectStringWriter, CutsACycleAfterEnteringTheContainerOnce) {
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(array);
  const std::string id = std::to_string(IdentityRegistry::IdentityOf(array));
  EXPECT_EQ(array->GetObjectString(), "\\11000\\[\\11000\\[\\9\\" + id + "]]");
  EXPECT_EQ(array->GetObjectString(), "\\11000\\[\\11000\\[\\9\\" + id + "]]");  // VisitCount restored
  array->RemoveAll();  // breaks the cycle so the container is released
}

TEST(ObjectStringWriter, WritesASharedChildInFullEachTime) {
  const TavrixPtr child = MakeKind(KindMap);
  child->Item("a", 1);
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(child);
  array->AddLast(child);
  EXPECT_EQ(array->GetObjectString(), R"(\11000\[\11000\{a: \2\1}, \11000\{a: \2\1}])");
}

TEST(ObjectStringWriter, FailsWithoutPartialTextAndRestoresVisitCounts) {
  ExpectError(9, [] { (void)Tavrix::Create()->GetObjectString(); });

  const TavrixPtr child = MakeKind(KindUnboundedArray);
  child->AddLast(Variant::Array({1, 2}));
  const TavrixPtr parent = MakeKind(KindUnboundedArray);
  parent->AddLast(child);
  ExpectError(13, [&] { (void)parent->GetObjectString(); });

  child->RemoveAll();
  child->AddLast(5);
  EXPECT_EQ(parent->GetObjectString(), R"(\11000\[\11000\[\2\5]])");  // entered in full again

  const TavrixPtr empty_variant = Tavrix::Create();
  parent->AddLast(empty_variant);
  ExpectError(9, [&] { (void)parent->GetObjectString(); });
}

TEST(ObjectStringWriter, RefusesTreesDeeperThan1024Levels) {
  std::vector<TavrixPtr> chain{MakeKind(KindUnboundedArray)};
  for (int level = 1; level <= 1024; ++level) {
    chain.push_back(MakeKind(KindUnboundedArray));
    chain[chain.size() - 2]->AddLast(chain.back());
  }
  EXPECT_EQ(chain.front()->GetObjectString(), serial_test::NestedArraysText(1024));

  chain.back()->AddLast(MakeKind(KindUnboundedArray));
  ExpectError(28, [&] { (void)chain.front()->GetObjectString(); });
  EXPECT_EQ(chain[1]->GetObjectString(), serial_test::NestedArraysText(1024));  // nothing left marked
}

}  // namespace
}  // namespace quenlo
