// quenlo get PATH FILE: one value or subtree, named by the path form errors use.
#include <string>
#include <tuple>
#include <utility>

#include "tool/tool_fixture.hpp"

namespace quenlo {
namespace {

// A Map's entries count by position too; a Stack and a Queue in the order Pop takes them out,
// which is the order of their text; the one value of a Variant-kind container.
TEST_F(QuenloTool, GetPrintsAValueAsUtf8TextAndASubtreeAsAnObjectString) {
  const std::string kinds =
      File("kinds.qo",
           "\\11000\\{map: \\11000\\{a: \\3\\1, b: \\3\\2}, stack: \\11000\\<\\3\\30, \\3\\20, \\3\\10>, "
           "queue: \\11000\\`\\3\\1, \\3\\2, \\3\\3\xB4, set: \\11000\\(\\8\\x, \\8\\y)}");
  const std::string only = File("only.qo", "\\11000\\\\8\\only");
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"{manager}{name}", kInventory, "Zo\xC3\xA9 Moreau\n"},
      {"{items}[2]", kInventory,
       "\\11000\\{sku: \\8\\LM-220, name: \\8\\Brass lamp, price: \\6\\89.99, stock: \\2\\3, "
       "tags: \\11000\\[\\8\\lighting]}"},
      {"", kInventory, ReadWhole(kInventory)},
      {"{map}[2]", kinds, "2\n"},
      {"{stack}[1]", kinds, "30\n"},
      {"{queue}[2]", kinds, "2\n"},
      {"{set}[2]", kinds, "y\n"},
      {"[1]", only, "only\n"},
      {"{stack}", kinds, "\\11000\\<\\3\\30, \\3\\20, \\3\\10>"}};  // get reads: the Stack is kept
  for (const auto& [path, file, out] : cases) {
    const Outcome outcome = Run({"get", path, file});
    EXPECT_EQ(outcome.status, 0) << path << ": " << outcome.err;
    EXPECT_EQ(outcome.out, out) << path;
  }

  const std::string out = (dir_ / "value.txt").string();
  EXPECT_EQ(Run({"get", "{store}", kInventory, "-o", out}).status, 0);
  EXPECT_EQ(ReadWhole(out), "Harbour Street Hardware\n");
}

TEST_F(QuenloTool, GetNamesTheStepThatFindsNothingAndRefusesAPathItCannotRead) {
  const std::pair<std::string, std::string> cases[] = {
      {"{items}[4]{name}", "{items}[4]: no such value"},
      {"{manager}{phone}", "{manager}{phone}: no such value"},
      {"{items}{1}", "{items}{1}: no such value"},  // a key names nothing in an array
      {"{store}[1]", "{store}[1]: no such value ({store} holds no container)"}};
  for (const auto& [path, reason] : cases) {
    const Outcome outcome = Run({"get", path, kInventory});
    EXPECT_EQ(outcome.status, 6) << path;
    EXPECT_EQ(outcome.err, kInventory + ": " + reason + "\n");
  }
  for (const std::string path : {"items", "{items", "[0]", "[x]", "[1]]", "[-1]", "{a}b"}) {
    const Outcome outcome = Run({"get", path, kInventory});
    EXPECT_EQ(outcome.status, 2) << path;
    EXPECT_TRUE(outcome.err.starts_with("quenlo: bad PATH")) << outcome.err;
    EXPECT_TRUE(outcome.out.empty());
  }
}

}  // namespace
}  // namespace quenlo
