// Whether a tree's object string reads back equal, and where it first would not: the check
// itself, and Export refusing such a tree.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/scratch_folder.hpp"

namespace quenlo {
namespace {

using testing::ArrayOf;
using testing::Make;
using testing::MapOf;
using testing::Read;
using testing::VariantOf;

TEST(ReadBack, NamesThePathOfTheFirstTextTheReaderWouldSplitOrCutShort) {
  const TavrixPtr items = ArrayOf({"plain", MapOf("name", "hello, world")});
  EXPECT_EQ(MapOf("items", items)->FindUnreadableValue(),
            "{items}[2]{name}: the text holds \",\" (character 6), which would split it");
  EXPECT_EQ(ArrayOf({"ok", "url http://x"})->FindUnreadableValue(),
            "[2]: the text holds \":\" (character 9), which would split it");
  EXPECT_EQ(ArrayOf({"caf\u00E9 \u00B4"})->FindUnreadableValue(),
            "[1]: the text holds \"\u00B4\" (character 6), which would split it");
  EXPECT_EQ(ArrayOf({1, "ab "})->FindUnreadableValue(),
            "[2]: the text ends with a space, which reading drops");
  EXPECT_EQ(MapOf("", 1)->FindUnreadableValue(), "{}: an empty key");
  const TavrixPtr second_empty = MapOf("a", 1);
  second_empty->Item("", 2);  // reads back at the top level only, where ", " leaves an empty token
  EXPECT_EQ(second_empty->FindUnreadableValue(), "");
  EXPECT_EQ(Read(second_empty->GetObjectString())->GetObjectString(), second_empty->GetObjectString());
  EXPECT_EQ(ArrayOf({second_empty})->FindUnreadableValue(), "[1]{}: an empty key");
  EXPECT_EQ(MapOf(" k", 1)->FindUnreadableValue(),
            "{ k}: the key begins or ends with a space, which reading drops");
  EXPECT_EQ(MapOf("a<b", 1)->FindUnreadableValue(),
            "{a<b}: the key holds \"<\" (character 2), which would split it");
  // In a nested Variant-kind container, the value and what it holds are one token.
  EXPECT_EQ(ArrayOf({VariantOf("x, y")})->FindUnreadableValue(),
            "[1]: the text holds \",\" (character 2), which would split it");
  EXPECT_EQ(ArrayOf({VariantOf(Make(KindMap))})->FindUnreadableValue(),
            "[1]: a container inside a nested Variant-kind container, whose text reads back as one value");
}

TEST(ReadBack, FindsNothingWhereTheTextReadsBackOrTheFormatChangesOnlyATypeByDesign) {
  const Variant date_and_time = CDate("2026-12-06 15:04:05");
  for (const TavrixPtr& tree : {
           ArrayOf({" leading spaces stay", "a\\b", 2.5, Variant::Null(), Variant()}),
           MapOf("k", date_and_time),  // the reader joins the time of day again
           ArrayOf({std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}),
           VariantOf("x, y "),  // the one value of a top-level Variant is read whole
           ArrayOf({Make(KindNil), VariantOf("\\3\\7")}),  // come back as Strings by design
       }) {
    EXPECT_EQ(tree->FindUnreadableValue(), "") << tree->GetObjectString();
  }
}

TEST(ReadBack, TextsFoundReadableReadBackToTheSameText) {
  const TavrixPtr tree = MapOf("when", CDate("2026-12-06 15:04:05"));
  tree->Item("list", ArrayOf({" x", std::numeric_limits<double>::infinity(), CDate("12:30:00")}));
  ASSERT_EQ(tree->FindUnreadableValue(), "");
  EXPECT_EQ(Read(tree->GetObjectString())->GetObjectString(), tree->GetObjectString());
}

using ReadBackExport = testing::ScratchFolder;

TEST_F(ReadBackExport, ExportRefusesATreeThatWouldNotReadBackAndLeavesTheFileAsItWas) {
  ArrayOf({1})->Export(Path("data.qo"));
  const std::string before = Bytes("data.qo");
  const TavrixPtr tree = MapOf("greeting", "hello, world");
  const Error error = testing::RaisedBy([&] { tree->Export(Path("data.qo")); });
  EXPECT_EQ(error.Number(), err::kInvalidProcedureCall);
  EXPECT_EQ(error.Context(), tree->FindUnreadableValue());
  EXPECT_EQ(error.Context(), "{greeting}: the text holds \",\" (character 6), which would split it");
  EXPECT_EQ(Bytes("data.qo"), before);
  EXPECT_EQ(tree->GetObjectString(), "\\11000\\{greeting: \\8\\hello, world}");  // the text is still given
}

}  // namespace
}  // namespace quenlo
