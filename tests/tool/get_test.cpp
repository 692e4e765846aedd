// quenlo get PATH FILE: one value or subtree, named by the path form errors use.
#include <string>
#include <utility>

#include "tool/tool_fixture.hpp"

namespace quenlo {
namespace {

TEST_F(QuenloTool, GetPrintsAValueAsUtf8TextAndASubtreeAsAnObjectString) {
  EXPECT_EQ(Run({"get", "{manager}{name}", kInventory}).out, "Zo\xC3\xA9 Moreau\n");
  EXPECT_EQ(Run({"get", "{items}[3]{price}", kInventory}).out, "21\n");
  EXPECT_EQ(Run({"get", "{opened}", kInventory}).out, "2019-04-01\n");

  const Outcome subtree = Run({"get", "{items}[2]", kInventory});
  EXPECT_EQ(subtree.status, 0) << subtree.err;
  EXPECT_EQ(subtree.out,
            "\\11000\\{sku: \\8\\LM-220, name: \\8\\Brass lamp, price: \\6\\89.99, stock: \\2\\3, "
            "tags: \\11000\\[\\8\\lighting]}");
  EXPECT_EQ(Run({"get", "", kInventory}).out, ReadWhole(kInventory));

  const std::string out = (dir_ / "value.txt").string();
  EXPECT_EQ(Run({"get", "{store}", kInventory, "-o", out}).status, 0);
  EXPECT_EQ(ReadWhole(out), "Harbour Street Hardware\n");
}

TEST_F(QuenloTool, GetCountsPositionsInEveryKind) {
  // A Map's entries by position too; a Stack and a Queue in the order Pop takes them out, which is
  // the order of their text; the one value of a Variant-kind container.
  const std::string kinds =
      File("kinds.qo",
           "\\11000\\{map: \\11000\\{a: \\3\\1, b: \\3\\2}, stack: \\11000\\<\\3\\30, \\3\\20, \\3\\10>, "
           "queue: \\11000\\`\\3\\1, \\3\\2, \\3\\3\xB4, set: \\11000\\(\\8\\x, \\8\\y)}");
  EXPECT_EQ(Run({"get", "{map}[2]", kinds}).out, "2\n");
  EXPECT_EQ(Run({"get", "{stack}[1]", kinds}).out, "30\n");
  EXPECT_EQ(Run({"get", "{stack}[3]", kinds}).out, "10\n");
  EXPECT_EQ(Run({"get", "{queue}[2]", kinds}).out, "2\n");
  EXPECT_EQ(Run({"get", "{set}[2]", kinds}).out, "y\n");
  EXPECT_EQ(Run({"get", "[1]", "-"}, "\\11000\\\\8\\only").out, "only\n");
  // The Stack is left as it was: get reads.
  EXPECT_EQ(Run({"get", "{stack}", kinds}).out, "\\11000\\<\\3\\30, \\3\\20, \\3\\10>");
}

TEST_F(QuenloTool, GetNamesTheStepThatFindsNothing) {
  const std::pair<std::string, std::string> cases[] = {
      {"{items}[4]{name}", "{items}[4]: no such value"},
      {"{manager}{phone}", "{manager}{phone}: no such value"},
      {"{store}[1]", "{store}[1]: no such value ({store} holds no container)"}};
  for (const auto& [path, reason] : cases) {
    const Outcome outcome = Run({"get", path, kInventory});
    EXPECT_EQ(outcome.status, 6) << path;
    EXPECT_EQ(outcome.err, kInventory + ": " + reason + "\n");
  }
  EXPECT_EQ(Run({"get", "{items}{1}", kInventory}).status, 6);  // a key names nothing in an array
}

TEST_F(QuenloTool, GetRefusesAPathItCannotRead) {
  for (const std::string path : {"items", "{items", "[0]", "[x]", "[1]]", "[-1]", "{a}b"}) {
    const Outcome outcome = Run({"get", path, kInventory});
    EXPECT_EQ(outcome.status, 2) << path;
    EXPECT_TRUE(outcome.err.starts_with("quenlo: bad PATH")) << outcome.err;
    EXPECT_TRUE(outcome.out.empty());
  }
}

}  // namespace
}  // namespace quenlo
