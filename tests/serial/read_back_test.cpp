// Whether a tree's object string reads back equal, and where it first would not: the check
// itself, and Export refusing such a tree.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>

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

TEST(ReadBack, TextsFoundReadableReadBackToTheSameText) {
  const TavrixPtr tree = MapOf("when", CDate("2026-12-06 15:04:05"));  // the reader joins the time again
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
  EXPECT_EQ(error.Context(), "{greeting}: the text holds \",\" (character 6), which would split it");
  EXPECT_EQ(Bytes("data.qo"), before);
  EXPECT_EQ(tree->GetObjectString(), "\\11000\\{greeting: \\8\\hello, world}");  // the text is still given
}

}  // namespace
}  // namespace quenlo
