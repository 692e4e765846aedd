#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "quenlo/quenlo.hpp"

namespace quenlo {
namespace {

TavrixPtr ArrayOf(std::initializer_list<Variant> values) {
  auto array = Tavrix::Create();
  array->SetArray();
  for (const Variant& value : values) array->AddLast(value);
  return array;
}

TavrixPtr VariantOf(const Variant& value) {
  auto container = Tavrix::Create();
  container->Item(1, value);
  return container;
}

std::int32_t ErrorNumberOf(const Tavrix& container) {
  try {
    container.DebugPrint();
  } catch (const Error& error) {
    return error.Number();
  }
  return 0;
}

class PlainObject : public Object {};

TEST(DebugPrintTest, ListsTheWorkedLayouts) {
  EXPECT_EQ(ArrayOf({1, ArrayOf({"x"})})->DebugPrint(), "[\r\n1,\r\n\t[\r\n\t\tx\r\n\t]\r\n]");

  auto inner = Tavrix::Create();
  inner->SetMap();
  inner->Item("c", 2);
  auto outer = Tavrix::Create();
  outer->SetMap();
  outer->Item("a", 1);
  outer->Item("b", inner);
  EXPECT_EQ(outer->DebugPrint(), "{\r\na: 1,\r\nb: \t{\r\n\tc: 2\r\n\t}\r\n}");

  auto empty_map = Tavrix::Create();
  empty_map->SetMap();
  EXPECT_EQ(empty_map->DebugPrint(), "{\r\n}");
  EXPECT_EQ(VariantOf(ArrayOf({}))->DebugPrint(), "\t[\r\n\t]");
}

TEST(DebugPrintTest, ListsSingleValuesWithoutBracketsOrIndentation) {
  auto nil = Tavrix::Create();
  nil->SetNil();
  EXPECT_EQ(nil->DebugPrint(), "nil");
  EXPECT_EQ(VariantOf(Variant::Long(7))->DebugPrint(), "7");
  EXPECT_EQ(VariantOf(Variant::Null())->DebugPrint(), "");
  EXPECT_EQ(VariantOf("a, b: c")->DebugPrint(), "a, b: c");
}

TEST(DebugPrintTest, UsesTheBracketsOfEachSequenceKind) {
  EXPECT_EQ(ArrayOf({1, 2, 3})->DebugPrint(), "[\r\n1,\r\n2,\r\n3\r\n]");

  auto queue = Tavrix::Create();
  queue->SetQueue();
  queue->Push("a");
  EXPECT_EQ(queue->DebugPrint(), "`\r\na\r\n\u00B4");

  auto stack = Tavrix::Create();
  stack->SetStack();
  EXPECT_EQ(stack->DebugPrint(), "<\r\n>");

  auto set = Tavrix::Create();
  set->SetSet(1, "b");
  EXPECT_EQ(set->DebugPrint(), "(\r\n1,\r\nb\r\n)");

  auto bounded = Tavrix::Create();
  bounded->SetArray(3);
  bounded->AddLast(Variant());
  EXPECT_EQ(bounded->DebugPrint(), "[\r\n\r\n]");
}

TEST(DebugPrintTest, IndentsSequenceElementsByTwiceTheLevel) {
  // The innermost array is entered at Level 2: its brackets get 2 tabs, its elements 4, and its
  // opening line continues the element line of its parent (2 tabs) with its own 2.
  auto outer = ArrayOf({ArrayOf({ArrayOf({"deep"})})});
  EXPECT_EQ(outer->DebugPrint(), "[\r\n\t[\r\n\t\t\t\t[\r\n\t\t\t\tdeep\r\n\t\t]\r\n\t]\r\n]");
}

TEST(DebugPrintTest, CutsACycleAfterEnteringTheContainerOnce) {
  auto array = Tavrix::Create();
  array->SetArray();
  array->AddLast(array);
  const std::string pointer = "Pointer to " + std::to_string(IdentityRegistry::IdentityOf(array.get()));

  // The closing line is written after the nested listing raised the Level to 1.
  EXPECT_EQ(array->DebugPrint(), "[\r\n\t[\r\n\t\t" + pointer + "\r\n\t]\r\n\t]");
  // The Level the dump gave stays; the VisitCount went back, so the array is entered again.
  EXPECT_EQ(array->DebugPrint(), "\t[\r\n\t\t\t\t[\r\n\t\t\t\t" + pointer + "\r\n\t\t]\r\n\t\t]");
  array->RemoveAll();  // breaks the cycle so the array is released
}

TEST(DebugPrintTest, ListsASharedContainerInFullEachTime) {
  auto map = Tavrix::Create();
  map->SetMap();
  map->Item("k", "v");
  EXPECT_EQ(ArrayOf({map, map})->DebugPrint(), "[\r\n\t{\r\n\tk: v\r\n\t},\r\n\t{\r\n\tk: v\r\n\t}\r\n]");
}

TEST(DebugPrintTest, EntersAVariantsContainerAtLevelOne) {
  auto map = Tavrix::Create();
  map->SetMap();
  map->Item("k", 1);
  EXPECT_EQ(VariantOf(map)->DebugPrint(), "\t{\r\n\tk: 1\r\n\t}");
  // The Level stays after the dump.
  EXPECT_EQ(map->DebugPrint(), "\t{\r\n\tk: 1\r\n\t}");
}

TEST(DebugPrintTest, ListsOtherObjectsAndNothingAsPointers) {
  auto object = std::make_shared<PlainObject>();
  const std::string expected = "[\r\nPointer to " +
                               std::to_string(IdentityRegistry::IdentityOf(object.get())) +
                               ",\r\nPointer to 0\r\n]";
  EXPECT_EQ(ArrayOf({object, Variant::Nothing()})->DebugPrint(), expected);
}

TEST(DebugPrintTest, ListsMapEntriesAddedWithoutValues) {
  auto map = Tavrix::Create();
  map->SetMap();
  map->AddLast("a");
  map->AddLast(5);
  EXPECT_EQ(map->DebugPrint(), "{\r\na: ,\r\n5: \r\n}");
}

TEST(DebugPrintTest, ReportsFailuresAndRestoresTheVisitCount) {
  EXPECT_EQ(ErrorNumberOf(*Tavrix::Create()), err::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf(*VariantOf(Variant::Array({1, 2}))), err::kTypeMismatch);

  auto map = Tavrix::Create();
  map->SetMap();
  map->Item("bad", Variant::Array({1}));
  auto array = ArrayOf({map});
  EXPECT_EQ(ErrorNumberOf(*array), err::kTypeMismatch);
  // The failed listing lowered the Map's VisitCount again: it is entered, not a pointer.
  map->Remove("bad");
  EXPECT_EQ(array->DebugPrint(), "[\r\n\t{\r\n\t}\r\n]");
}

TEST(DebugPrintTest, RefusesNestingDeeperThanTheLimit) {
  auto root = Tavrix::Create();
  root->SetArray();
  auto innermost = root;
  for (int depth = 0; depth < 1025; ++depth) {
    auto child = Tavrix::Create();
    child->SetArray();
    innermost->AddLast(child);
    innermost = child;
  }
  EXPECT_EQ(ErrorNumberOf(*root), err::kOutOfStackSpace);
  innermost = root->Item(1).ObjectAs<Tavrix>();
  EXPECT_NO_THROW(innermost->DebugPrint());  // 1,024 levels below this one are accepted
}

}  // namespace
}  // namespace quenlo
