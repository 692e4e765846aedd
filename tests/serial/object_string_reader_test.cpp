// SetObjectString: the kinds it builds, what it accepts beyond the writer's output, and every
// failure, after which the target is unchanged.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "serial/serial_support.hpp"

namespace quenlo {
namespace {

using serial_test::ExpectReadFails;
using serial_test::MakeKind;
using serial_test::MakeTarget;
using serial_test::Read;

TavrixPtr NestedAt(const Tavrix& container, int position) {
  return container.Item(position).ObjectAs<Tavrix>();
}

TEST(ObjectStringReader, ReadsAMapWithStringKeysInTextOrder) {
  const TavrixPtr map = Read(R"(\11000\{a: \2\1, b: \11000\[\8\x]})");
  EXPECT_EQ(map->Kind(), KindMap);
  EXPECT_EQ(map->Item("a"), Variant::Integer(1));
  const TavrixPtr keys = map->GetKeys();
  EXPECT_EQ(keys->Item(1), Variant("a"));
  EXPECT_EQ(keys->Item(2), Variant("b"));
  const TavrixPtr inner = NestedAt(*map, 2);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Kind(), KindUnboundedArray);
  EXPECT_EQ(inner->Item(1), Variant("x"));

  const TavrixPtr number_key = Read(R"(\11000\{5: \2\1})");
  EXPECT_EQ(number_key->GetKeys()->Item(1), Variant("5"));
  EXPECT_EQ(number_key->Item("5"), Variant::Integer(1));
}

TEST(ObjectStringReader, TakesATopLevelVariantValueWhole) {
  const TavrixPtr long_value = Read(R"(\11000\\3\7)");
  EXPECT_EQ(long_value->Kind(), KindVariant);
  EXPECT_EQ(long_value->Item(1), Variant::Long(7));
  EXPECT_EQ(Read(R"(\11000\\8\x, y )")->Item(1), Variant("x, y "));
  EXPECT_EQ(Read(R"(\11000\\8\{a: \2\1})")->Item(1), Variant("{a: \\2\\1}"));
  EXPECT_EQ(Read(R"(\11000\\8\a\b)")->Item(1), Variant("a\\b"));
  // A Variant-kind container holding a container comes back holding the text after its header.
  EXPECT_EQ(Read(R"(\11000\\11000\{a: \2\1})")->Item(1), Variant("{a: \\2\\1}"));
}

TEST(ObjectStringReader, ReadsEveryTag) {
  const TavrixPtr array = Read(
      R"(\11000\[\0\, \1\, \2\-3, \3\70000, \4\1.5, \5\2.25, \6\12.5, \7\2026-12-06, \11\True, \14\1.25, \17\255, \10\Error 5, \11000\nil])");
  EXPECT_EQ(array->Length(), 13);
  EXPECT_EQ(array->Item(1), Variant(""));
  EXPECT_EQ(array->Item(2), Variant(""));
  EXPECT_EQ(array->Item(3), Variant::Integer(-3));
  EXPECT_EQ(array->Item(4), Variant::Long(70000));
  EXPECT_EQ(array->Item(5), Variant::Single(1.5f));
  EXPECT_EQ(array->Item(6), Variant::Double(2.25));
  EXPECT_EQ(array->Item(7), Variant(Currency::FromScaled(125000)));
  EXPECT_EQ(array->Item(8).Type(), vbDate);
  EXPECT_EQ(array->Item(9), Variant::Boolean(true));
  EXPECT_EQ(array->Item(10).Type(), vbDecimal);
  EXPECT_EQ(array->Item(11), Variant::Byte(255));
  EXPECT_EQ(array->Item(12), Variant("Error 5"));
  EXPECT_EQ(array->Item(13), Variant("nil"));  // a nested Nil container comes back as text
}

TEST(ObjectStringReader, ResolvesIdentitiesOfLiveObjects) {
  const TavrixPtr shared = MakeKind(KindMap);
  const std::string id = std::to_string(IdentityRegistry::IdentityOf(shared));
  const TavrixPtr array = Read("\\11000\\[\\9\\0, \\9\\" + id + "]");
  EXPECT_TRUE(array->Item(1).IsNothing());
  EXPECT_EQ(array->Item(2).AsObject(), shared);  // the same object, not a copy
}

TEST(ObjectStringReader, BuildsEachKindAndDropsBoundsAndKeys) {
  const TavrixPtr bounded = MakeKind(KindBoundedArray);
  bounded->AddLast(1);
  const TavrixPtr array = Read(bounded->GetObjectString());
  EXPECT_EQ(array->Kind(), KindUnboundedArray);
  EXPECT_EQ(array->Bound(), -1);

  const TavrixPtr set = Read(R"(\11000\(\2\1, \2\1))");
  EXPECT_EQ(set->Kind(), KindSet);
  EXPECT_EQ(set->Bound(), 0);
  EXPECT_EQ(set->Length(), 2);

  const TavrixPtr stack = Read(R"(\11000\<\2\1, \2\2>)");
  EXPECT_EQ(stack->Kind(), KindStack);
  EXPECT_EQ(stack->Pop(), Variant::Integer(1));

  const TavrixPtr queue = Read("\\11000\\`\\2\\1, \\2\\2\u00B4");
  EXPECT_EQ(queue->Kind(), KindQueue);
  EXPECT_EQ(queue->Pop(), Variant::Integer(1));
  EXPECT_EQ(queue->Pop(), Variant::Integer(2));

  EXPECT_EQ(Read(R"(\11000\nil)")->Kind(), KindNil);
  // Elements of a sequence carry no keys: a key text finds nothing.
  serial_test::ExpectError(5, [&] { (void)array->Item("1"); });

  const TavrixPtr target = MakeTarget();
  target->SetObjectString(R"(\11000\[\2\1])");
  EXPECT_EQ(target->Tag(), "kept");
  EXPECT_EQ(target->Kind(), KindUnboundedArray);
}

TEST(ObjectStringReader, ReadsNestedContainersOfEveryKind) {
  const TavrixPtr set = Read(R"(\11000\(\11000\{a: \2\1}))");
  EXPECT_EQ(NestedAt(*set, 1)->Item("a"), Variant::Integer(1));

  const TavrixPtr stack = Read(R"(\11000\<\11000\(\2\1), \11000\`\2\2)"
                               "\u00B4>");
  const TavrixPtr first = stack->Pop().ObjectAs<Tavrix>();
  const TavrixPtr second = stack->Pop().ObjectAs<Tavrix>();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->Kind(), KindSet);
  EXPECT_EQ(second->Kind(), KindQueue);
  EXPECT_EQ(second->Pop(), Variant::Integer(2));

  const TavrixPtr empty_map = Read(R"(\11000\[\11000\{}])");
  EXPECT_EQ(NestedAt(*empty_map, 1)->Kind(), KindMap);
  EXPECT_EQ(NestedAt(*empty_map, 1)->Length(), 0);
}

TEST(ObjectStringReader, AcceptsWhatTheWriterNeverWrites) {
  EXPECT_EQ(Read("nil")->Kind(), KindNil);
  EXPECT_EQ(Read("{}")->Kind(), KindMap);
  EXPECT_EQ(Read("[]")->Kind(), KindUnboundedArray);
  EXPECT_EQ(Read("()")->Kind(), KindSet);
  EXPECT_EQ(Read(R"(\9\{})")->Kind(), KindMap);

  EXPECT_EQ(Read(R"(\11000\{a: \2\1)")->Item("a"), Variant::Integer(1));
  EXPECT_EQ(Read(R"(\11000\[\2\1] \2\2)")->Length(), 2);
  EXPECT_EQ(Read(R"(\11000\{a, \2\1})")->Item("a"), Variant::Integer(1));
  EXPECT_EQ(Read(R"(\11000\[\2\1,,\2\2])")->Length(), 2);
  EXPECT_EQ(Read(R"(\11000\[x3\7])")->Item(1), Variant::Long(7));
  EXPECT_EQ(Read(R"(\11000\[\8\ab , \8\ ab])")->Item(1), Variant("ab"));
  EXPECT_EQ(Read(R"(\11000\[\8\ab , \8\ ab])")->Item(2), Variant(" ab"));
  EXPECT_EQ(Read(R"(\11000\[  \2\1  ,   \2\2 ])")->Length(), 2);
  EXPECT_EQ(Read(R"(\11000\[\08\x])")->Item(1), Variant("x"));  // the tag goes through the Integer conversion
  EXPECT_EQ(Read("\\11000\\[\u00E93\\7]")->Item(1), Variant::Long(7));  // a two-byte first character
  EXPECT_EQ(Read(R"(\11000\[\8\x, \8\y])")->Length(), 2);               // split at the comma
}

TEST(ObjectStringReader, KeepsEachLevelsElementsAndKeysApartAcrossNesting) {
  const TavrixPtr map = Read(R"(\11000\{a: \11000\[\2\1, \11000\{b: \2\2, c: \2\3}, \2\4], d: \2\5})");
  ASSERT_EQ(map->Length(), 2);
  EXPECT_EQ(map->GetKeys()->Item(2), Variant("d"));
  EXPECT_EQ(map->Item("d"), Variant::Integer(5));
  const TavrixPtr array = NestedAt(*map, 1);
  ASSERT_EQ(array->Length(), 3);
  EXPECT_EQ(array->Item(1), Variant::Integer(1));
  EXPECT_EQ(array->Item(3), Variant::Integer(4));
  const TavrixPtr inner = NestedAt(*array, 2);
  ASSERT_EQ(inner->Length(), 2);
  EXPECT_EQ(inner->GetKeys()->Item(1), Variant("b"));
  EXPECT_EQ(inner->Item("c"), Variant::Integer(3));
}

TEST(ObjectStringReader, ReadsOnPastTheTopLevelClosingMark) {
  const TavrixPtr array = Read(R"(\11000\[\2\1] \11000\{a: \2\2}, \2\3])");
  ASSERT_EQ(array->Length(), 3);
  EXPECT_EQ(NestedAt(*array, 2)->Item("a"), Variant::Integer(2));
  const TavrixPtr map = Read(R"(\11000\{a: \2\1} b, \11000\[\11000\{c, \2\2}]})");
  ASSERT_EQ(map->Length(), 2);
  EXPECT_EQ(NestedAt(*NestedAt(*map, 2), 1)->Item("c"), Variant::Integer(2));
  // At the top level a run of spaces is a key like any other.
  const TavrixPtr empty_key = Read(R"(\11000\{: , \2\1})");
  ASSERT_EQ(empty_key->Length(), 1);
  EXPECT_EQ(empty_key->GetKeys()->Item(1), Variant(""));
}

TEST(ObjectStringReader, NestedLevelsSeeTheirTokensWithoutEmptyOnes) {
  ExpectReadFails(5, R"(\11000\[\2\1, , \2\2])");
  const TavrixPtr outer = Read(R"(\11000\[\11000\[\2\1, , \2\2]])");
  ASSERT_EQ(outer->Length(), 1);
  const TavrixPtr inner = NestedAt(*outer, 1);
  EXPECT_EQ(inner->Length(), 2);
  EXPECT_EQ(inner->Item(2), Variant::Integer(2));
  // In a Map an empty token is a key at the top level, and is not there in a nested Map.
  ExpectReadFails(5, R"(\11000\{a: \2\1, , b: \2\2})");
  const TavrixPtr map = NestedAt(*Read(R"(\11000\[\11000\{a: \2\1, , b: \2\2}])"), 1);
  EXPECT_EQ(map->Length(), 2);
  EXPECT_EQ(map->Item("b"), Variant::Integer(2));
}

TEST(ObjectStringReader, FindsTheEndOfANestedContainerByItsOwnMarksOnly) {
  // The key "[" of the inner Map counts as an opening mark of the array around it, so that
  // array runs to the second "]" and takes "\2\2" as its element.
  const TavrixPtr map = Read(R"(\11000\{x: \11000\[\11000\{[: \2\1}], \2\2], y: \2\3})");
  const TavrixPtr array = NestedAt(*map, 1);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->Length(), 2);
  EXPECT_EQ(array->Item(2), Variant::Integer(2));
  EXPECT_EQ(NestedAt(*array, 1)->Item("["), Variant::Integer(1));
  EXPECT_EQ(map->Item("y"), Variant::Integer(3));

  // A mark of another kind inside does not end it: the key "]" stays in the inner Map.
  const TavrixPtr mixed = Read(R"(\11000\[\11000\{]: \2\1}, \2\3])");
  ASSERT_EQ(mixed->Length(), 2);
  EXPECT_EQ(NestedAt(*mixed, 1)->Item("]"), Variant::Integer(1));
  EXPECT_EQ(mixed->Item(2), Variant::Integer(3));
}

TEST(ObjectStringReader, AHeaderBeforeATokenThatOpensNothingReadsTheJoinedText) {
  // At the top level the empty token ends it: the nested text is "\11000\,8\x:", read as a
  // Variant-kind container whose element is ",8\x:" (the String "x:").
  const TavrixPtr array = Read(R"(\11000\[\11000\,8\x: , \2\1])");
  ASSERT_EQ(array->Length(), 2);
  EXPECT_EQ(NestedAt(*array, 1)->Kind(), KindVariant);
  EXPECT_EQ(NestedAt(*array, 1)->Item(1), Variant("x:"));
  EXPECT_EQ(array->Item(2), Variant::Integer(1));
  // A nested level has no empty tokens, so no end is found there.
  ExpectReadFails(9, R"(\11000\[\11000\[\11000\,8\x: , \2\1]])");
}

TEST(ObjectStringReader, RaisesTheErrorsOfItsTableAndChangesNothing) {
  for (const char* text : {"", R"(\11000\)", "NIL", R"(\11000\nil )", R"(\11000\[abc])", R"(\11000\[ ])",
                           R"(\11000\{a: \2\1, b: x})"}) {
    ExpectReadFails(5, text);
  }
  ExpectReadFails(5, R"(\11000\[\8\x, y])");  // "y" is an element without a tag
  ExpectReadFails(13, R"(\11000\[\\1])");
  ExpectReadFails(13, R"(\11000\[\x\1])");
  ExpectReadFails(6, R"(\11000\[\40000\1])");
  ExpectReadFails(13, R"(\11000\[\2\abc])");
  ExpectReadFails(6, R"(\11000\[\2\40000])");
  ExpectReadFails(9, R"(\11000\{a: \2\1, b})");
  ExpectReadFails(9, R"(\11000\[\11000\])");
  ExpectReadFails(9, R"(\11000\[\2\1, \11000\)");  // a header token that is the last token
  ExpectReadFails(9, R"(\11000\[\11000\[\2\1)");
  // A nested container without its closing mark fails so, whatever fails inside it.
  ExpectReadFails(9, R"(\11000\[\11000\[\2\x)");
  ExpectReadFails(9, R"(\11000\{a: \11000\{b: \2\1, b: \2\2)");
  ExpectReadFails(457, R"(\11000\{a: \2\1, a: \2\2})");
  ExpectReadFails(5, R"(\11000\[\11001\{}])");
  ExpectReadFails(5, R"(\11000\[\11000\[\2\1, \11000\{a: x}]])");  // from inside a nested level
  ExpectReadFails(5, "\\11000\\[\\9\\2147483647]");                // an identity no object has
}

TEST(ObjectStringReader, RefusesNestingDeeperThan1024Levels) {
  const TavrixPtr deep = Read(serial_test::NestedArraysText(1024));
  EXPECT_EQ(deep->GetObjectString(), serial_test::NestedArraysText(1024));
  ExpectReadFails(28, serial_test::NestedArraysText(1025));
  ExpectReadFails(28, serial_test::NestedArraysText(200000));
  ExpectReadFails(5, "\\11000\\[" + std::string(1000000, '['));  // unbalanced: no crash either
}

}  // namespace
}  // namespace quenlo
