#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

using testing::ArrayOf;
using testing::ExpectError;
using testing::Make;
using testing::MapOf;
using testing::VariantOf;

std::string PointerTo(const Object* object) {
  return "Pointer to " + std::to_string(IdentityRegistry::IdentityOf(object));
}

TEST(DebugPrintTest, ListsEachKindWithItsBracketsIndentationAndSeparators) {
  class PlainObject : public Object {};
  const auto object = std::make_shared<PlainObject>();
  const TavrixPtr shared = MapOf("k", "v");
  const std::pair<TavrixPtr, std::string> cases[] = {
      // The worked layouts.
      {ArrayOf({1, ArrayOf({"x"})}), "[\r\n1,\r\n\t[\r\n\t\tx\r\n\t]\r\n]"},
      {MapOf("a", 1, "b", MapOf("c", 2)), "{\r\na: 1,\r\nb: \t{\r\n\tc: 2\r\n\t}\r\n}"},
      {Make(KindMap), "{\r\n}"},
      // A Variant's container is entered at level 1.
      {VariantOf(ArrayOf({})), "\t[\r\n\t]"},
      // Single values have no brackets, indentation or line break; texts are copied unchanged.
      {Make(KindNil), "nil"},
      {VariantOf("a, b: c"), "a, b: c"},
      // Each sequence kind has its own brackets.
      {Make(KindQueue, {"a"}), "`\r\na\r\n\u00B4"},
      {Make(KindStack), "<\r\n>"},
      {Make(KindSet, {1, "b"}), "(\r\n1,\r\nb\r\n)"},
      {Make(KindBoundedArray, {Variant()}), "[\r\n\r\n]"},
      // Keys added with AddLast hold Null, whose text is empty.
      {Make(KindMap, {"a", 5}), "{\r\na: ,\r\n5: \r\n}"},
      // An element at Level 2 gets 4 tabs; the opening line continues its parent's element line.
      {ArrayOf({ArrayOf({ArrayOf({"deep"})})}), "[\r\n\t[\r\n\t\t\t\t[\r\n\t\t\t\tdeep\r\n\t\t]\r\n\t]\r\n]"},
      // A container held twice is listed in full each time.
      {ArrayOf({shared, shared}), "[\r\n\t{\r\n\tk: v\r\n\t},\r\n\t{\r\n\tk: v\r\n\t}\r\n]"},
      // Other objects and Nothing are listed as pointers.
      {ArrayOf({object, Variant::Nothing()}), "[\r\n" + PointerTo(object.get()) + ",\r\nPointer to 0\r\n]"},
  };
  for (const auto& [container, expected] : cases) EXPECT_EQ(container->DebugPrint(), expected);
}

TEST(DebugPrintTest, CutsACycleAfterEnteringTheContainerOnce) {
  auto array = ArrayOf({});
  array->AddLast(array);
  // The closing line is written after the nested listing raised the array's level to 1; every
  // listing starts afresh, the level of the last one does not carry over.
  const std::string listing = "[\r\n\t[\r\n\t\t" + PointerTo(array.get()) + "\r\n\t]\r\n\t]";
  for (int round = 0; round < 1000; ++round) ASSERT_EQ(array->DebugPrint(), listing) << round;
  array->RemoveAll();  // breaks the cycle so the array is released
}

TEST(DebugPrintTest, ReportsFailuresAndLeavesNothingMarked) {
  ExpectError(err::kSubscriptOutOfRange, [] { Tavrix::Create()->DebugPrint(); });
  auto map = MapOf("bad", Variant::Array({1}));
  auto array = ArrayOf({map});
  ExpectError(err::kTypeMismatch, [&] { array->DebugPrint(); });
  // The failed listing left nothing behind: the Map is entered, not a pointer.
  map->Remove("bad");
  EXPECT_EQ(array->DebugPrint(), "[\r\n\t{\r\n\t}\r\n]");
}

}  // namespace
}  // namespace quenlo
