// GetObjectString's exact text, and what reads back from it: what the format loses, where a
// tree would first not read back equal, and Export refusing such a tree.
// That texts within the round-trip rules read back equal is the object-string fuzz target's check.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "support/containers.hpp"
#include "support/scratch_folder.hpp"

namespace quenlo {
namespace {

using testing::ArrayOf;
using testing::ExpectError;
using testing::ExpectReadFails;
using testing::Make;
using testing::MapOf;
using testing::Read;
using testing::VariantOf;

// An object that is not a container: written as a reference.
class Plain : public Object {};

TEST(ObjectStringWriter, WritesEachKindAndEachElementByItsTag) {
  const auto plain = std::make_shared<Plain>();
  const std::pair<TavrixPtr, std::string> cases[] = {
      {VariantOf(Variant::Long(7)), R"(\11000\\3\7)"},
      {Make(KindNil), R"(\11000\nil)"},
      {Make(KindMap), R"(\11000\{})"},
      {Make(KindUnboundedArray), R"(\11000\[])"},
      {Make(KindSet, {"a", Variant::Integer(2)}), R"(\11000\(\8\a, \2\2))"},
      {ArrayOf({Variant::Integer(1), "ab", MapOf("x", 2.5)}), R"(\11000\[\2\1, \8\ab, \11000\{x: \5\2.5}])"},
      // No position 5 in the Map: a new entry under the number key.
      {MapOf("a", 1, 5, "x"), R"(\11000\{a: \2\1, 5: \8\x})"},
      {Make(KindBoundedArray, {true, Variant::Byte(200)}), R"(\11000\[\11\True, \17\200])"},
      {Make(KindStack, {1, 2}), R"(\11000\<\2\2, \2\1>)"},
      {Make(KindQueue, {1, "two"}), "\\11000\\`\\2\\1, \\8\\two\u00B4"},
      {ArrayOf({Variant(), Variant::Null(), "a\\b", " x, y ", -0.5, Variant::Nothing(), plain}),
       R"(\11000\[\0\, \1\, \8\a\b, \8\ x, y , \5\-0.5, \9\0, \9\)" +
           std::to_string(IdentityRegistry::IdentityOf(plain)) + "]"},
  };
  for (const auto& [container, text] : cases) EXPECT_EQ(container->GetObjectString(), text);
}

TEST(ObjectStringWriter, CutsACycleButWritesASharedChildInFull) {
  const TavrixPtr array = Make(KindUnboundedArray);
  array->AddLast(array);
  const std::string cycle =
      R"(\11000\[\11000\[\9\)" + std::to_string(IdentityRegistry::IdentityOf(array)) + "]]";
  EXPECT_EQ(array->GetObjectString(), cycle);
  EXPECT_EQ(array->GetObjectString(), cycle);  // the walk left nothing marked
  array->RemoveAll();                          // breaks the cycle so the container is released

  const TavrixPtr child = MapOf("a", 1);
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

TEST(ReadBack, NamesThePathOfTheFirstTextTheReaderWouldSplitOrCutShort) {
  const TavrixPtr second_empty = MapOf("a", 1);
  second_empty->Item("", 2);  // reads back at the top level only, where ", " leaves an empty token
  EXPECT_EQ(Read(second_empty->GetObjectString())->GetObjectString(), second_empty->GetObjectString());
  const std::pair<TavrixPtr, std::string> cases[] = {
      {MapOf("items", ArrayOf({"plain", MapOf("name", "hello, world")})),
       "{items}[2]{name}: the text holds \",\" (character 6), which would split it"},
      {ArrayOf({"ok", "url http://x"}), "[2]: the text holds \":\" (character 9), which would split it"},
      {ArrayOf({"caf\u00E9 \u00B4"}), "[1]: the text holds \"\u00B4\" (character 6), which would split it"},
      {ArrayOf({1, "ab "}), "[2]: the text ends with a space, which reading drops"},
      {MapOf("", 1), "{}: an empty key"},
      {second_empty, ""},
      {ArrayOf({second_empty}), "[1]{}: an empty key"},
      {MapOf(" k", 1), "{ k}: the key begins or ends with a space, which reading drops"},
      {MapOf("a<b", 1), "{a<b}: the key holds \"<\" (character 2), which would split it"},
      // In a nested Variant-kind container, the value and what it holds are one token.
      {ArrayOf({VariantOf("x, y")}), "[1]: the text holds \",\" (character 2), which would split it"},
      {ArrayOf({VariantOf(Make(KindMap))}),
       "[1]: a container inside a nested Variant-kind container, whose text reads back as one value"},
      // Texts that read back, or whose type the format changes by design, hold nothing unreadable.
      {ArrayOf({" leading spaces stay", "a\\b", 2.5, Variant::Null(), Variant()}), ""},
      {ArrayOf({std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}), ""},
      {VariantOf("x, y "), ""},  // the one value of a top-level Variant is read whole
      {ArrayOf({Make(KindNil), VariantOf("\\3\\7")}), ""},  // come back as Strings
  };
  for (const auto& [tree, finding] : cases) EXPECT_EQ(tree->FindUnreadableValue(), finding) << finding;
}

TEST(ReadBack, LosesWhatTheRulesSayItLoses) {
  const TavrixPtr array =
      Make(KindBoundedArray, {"ab ", " ab", "x, \\8\\y", Variant(), Variant::Null(), Make(KindNil)}, 6);
  const TavrixPtr read = Read(array->GetObjectString());
  EXPECT_EQ(read->Kind(), KindUnboundedArray);
  EXPECT_EQ(read->GetObjectString(), R"(\11000\[\8\ab, \8\ ab, \8\x, \8\y, \8\, \8\, \8\nil])");
}

// A Double or Single that is not a finite number, and a Date with a time of day inside a
// container, whose text the ':' marks split, read back as what was written.
TEST(ReadBack, NonFiniteNumbersAndTimesOfDayReadBackEqual) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const Variant time = Date{0.5208333333333334};    // 12:30:00
  const Variant moment = Date{46362.627835648148};  // 2026-12-06 15:04:05
  const TavrixPtr array =
      ArrayOf({std::nan(""), kInfinity, -kInfinity, std::nanf(""), static_cast<float>(kInfinity),
               -static_cast<float>(kInfinity), time, moment,
               MapOf("time", time, "moment", moment, "after", 1), Make(KindQueue, {moment}), Make(KindSet)});
  const std::string text = array->GetObjectString();
  EXPECT_EQ(array->FindUnreadableValue(), "");
  EXPECT_NE(text.find(R"(\5\NaN, \5\Infinity, \5\-Infinity, \4\NaN)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"(\7\12:30:00, \7\2026-12-06 15:04:05)"), std::string::npos) << text;
  const TavrixPtr read = Read(text);
  EXPECT_EQ(read->GetObjectString(), text);
  EXPECT_TRUE(std::isnan(read->Item(1).AsDouble()));
  EXPECT_EQ(VarType(read->Item(4)), vbSingle);
  EXPECT_EQ(read->Item(7), time);

  // The one value of a top-level Variant-kind container is read whole.
  for (const Variant& value : {Variant(std::nan("")), Variant(-static_cast<float>(kInfinity)), moment}) {
    const TavrixPtr single = VariantOf(value);
    EXPECT_EQ(Read(single->GetObjectString())->GetObjectString(), single->GetObjectString());
  }
}

// A Date followed by a ':' that already read is read as before, and pieces that make no time
// fail as before.
TEST(ReadBack, TextsThatReadOrFailedBeforeStillDo) {
  EXPECT_EQ(Read(R"(\11000\{a: \7\2026-12-06:b: \2\3})")->GetObjectString(),
            R"(\11000\{a: \7\2026-12-06, b: \2\3})");
  ExpectReadFails(13, R"(\11000\[\7\12:xx])");
  ExpectReadFails(13, R"(\11000\[\5\nan])");
  ExpectReadFails(5, R"(\11000\[\7\12:30:00:00])");  // the third ':' is read as an element
}

using ReadBackExport = testing::ScratchFolder;

TEST_F(ReadBackExport, ExportRefusesATreeThatWouldNotReadBackAndLeavesTheFileAsItWas) {
  ArrayOf({1})->Export(Path("data.qo"));
  const std::string before = Bytes("data.qo");
  const TavrixPtr tree = MapOf("greeting", "hello, world");
  const Error error = testing::RaisedBy([&] { tree->Export(Path("data.qo")); });
  EXPECT_EQ(error.Number(), err::kInvalidProcedureCall);
  EXPECT_EQ(error.Context(), "{greeting}: the text holds \",\" (character 6), which would split it");
  EXPECT_EQ(Bytes("data.qo"), before);
  EXPECT_EQ(tree->GetObjectString(), "\\11000\\{greeting: \\8\\hello, world}");  // the text is still given
}

}  // namespace
}  // namespace quenlo
