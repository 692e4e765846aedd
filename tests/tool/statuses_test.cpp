// The tool's exit statuses and the form of its messages.
#include <algorithm>
#include <string>
#include <vector>

#include "support/sanitizers.hpp"
#include "tool/tool_fixture.hpp"

namespace quenlo {
namespace {

TEST_F(QuenloTool, NoInputEndsInAnUnexpectedFailure) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int status;
  };
  for (const Case& c : std::vector<Case>{{{"from-json", "-"}, "", 5},
                                         {{"from-json", "-"}, "-1e999", 5},
                                         {{"from-json", "-"}, "[\"\xFF\"]", 5},
                                         {{"from-json", "-"}, "{\"a\":1}{", 5},
                                         {{"to-json", "-"}, "", 5},
                                         {{"dump", "-"}, "\\11000\\" + std::string(2000, '['), 5},
                                         {{"fmt", "-"}, "\\11000\\\\9\\77777", 5},
                                         {{"get", "[1]", "-"}, "\\11000\\\\9\\0", 1},  // nothing has no text
                                         {{"get", "[2]", "-"}, "\\11000\\\\9\\0", 6}}) {
    const Outcome outcome = Run(c.args, c.input);
    EXPECT_EQ(outcome.status, c.status)
        << c.args[0] << " of " << c.input.substr(0, 40) << ": " << outcome.err;
    EXPECT_EQ(outcome.err.find("unexpected failure"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
  }
}

TEST_F(QuenloTool, RunningOutOfMemoryHasItsOwnStatus) {
  if (QUENLO_TEST_SANITIZED)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
  // Three million elements need far more than 120 MB of address space.
  std::string many = "[0";
  for (int i = 1; i < 3'000'000; ++i) many += ",0";
  const std::string json = File("many.json", many + "]");
  const Outcome from_json = Run({"from-json", json}, "", "ulimit -v 120000");
  EXPECT_EQ(from_json.status, 7);
  EXPECT_EQ(from_json.err, json + ": error 7 (Quenlo): Out of memory\n");

  std::string text = "\\11000\\[\\3\\0";
  for (int i = 1; i < 3'000'000; ++i) text += ",\\3\\0";
  const std::string big = File("big.qo", text + "]");
  const Outcome check = Run({"check", big}, "", "ulimit -v 120000");
  EXPECT_EQ(check.status, 7);
  EXPECT_EQ(check.out, big + ": error 7 (Quenlo): Out of memory\n");
}

TEST_F(QuenloTool, OutputThatCannotBeWrittenFailsNamingIt) {
  const std::string nowhere = (dir_ / "no_folder" / "out.qo").string();
  const Outcome missing_folder = Run({"fmt", kInventory, "-o", nowhere});
  EXPECT_EQ(missing_folder.status, 1);
  EXPECT_TRUE(IsErrorLine(missing_folder.err, nowhere, "76")) << missing_folder.err;

  const Outcome full = Run({"to-json", kInventory, "-o", "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_TRUE(IsErrorLine(full.err, "/dev/full", "")) << full.err;
}

// A file name is printed as it is unless it could be taken for something else.
TEST_F(QuenloTool, CheckQuotesNamesThatCouldForgeALine) {
  const std::string forged = File("x\nfine.qo: OK", "\\11000\\{a: \\9\\12345}");
  const std::string quote = File("say \"hi\\\".qo", "\\11000\\[]");
  const Outcome check = Run({"check", forged, quote, kInventory});
  EXPECT_EQ(check.status, 5);
  const std::string folder = dir_.string();
  EXPECT_TRUE(check.out.starts_with("\"" + folder + "/x\\nfine.qo: OK\"")) << check.out;
  EXPECT_NE(check.out.find("\n\"" + folder + "/say \\\"hi\\\\\\\".qo\": OK\n" + kInventory + ": OK\n"),
            std::string::npos)
      << check.out;
  EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), 3);

  const Outcome dump = Run({"dump", forged});
  EXPECT_TRUE(dump.err.starts_with("\"" + folder + "/x\\nfine.qo: OK\"")) << dump.err;
}

}  // namespace
}  // namespace quenlo
