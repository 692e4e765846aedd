// The options of the tool's commands: --version, each command's help, --compact and --indent,
// --lf with -o, and --force against the refusal of a text that would not read back.
#include <algorithm>
#include <string>

#include "quenlo/tavrix.hpp"
#include "tool/tool_fixture.hpp"

namespace quenlo {
namespace {

TEST_F(QuenloTool, PrintsItsVersionAndTheHelpOfOneCommand) {
  const Outcome version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, Tavrix::Version() + "\n");

  const Outcome to_json = Run({"to-json", "--help"});
  EXPECT_EQ(to_json.status, 0);
  EXPECT_NE(to_json.out.find("quenlo to-json [OPTIONS] FILE"), std::string::npos) << to_json.out;
  EXPECT_NE(to_json.out.find("Map -> object"), std::string::npos);
  for (const std::string other : {"from-json", "dump", "Exit status", "--lf", "PATH"})
    EXPECT_EQ(to_json.out.find(other), std::string::npos) << other;

  const Outcome get = Run({"get", "--help"});
  EXPECT_NE(get.out.find("{KEY}"), std::string::npos) << get.out;
  EXPECT_EQ(get.out.find("Map -> object"), std::string::npos);
  const Outcome all = Run({"--help"});
  EXPECT_EQ(all.status, 0);
  for (const std::string command : {"dump", "check", "fmt", "to-json", "from-json", "get", "Exit status"})
    EXPECT_NE(all.out.find(command), std::string::npos) << command;
}

TEST_F(QuenloTool, PrintsJsonCompactOrWithTheIndentAsked) {
  const std::string tree = File("t.qo", "\\11000\\{a: \\11000\\[\\3\\1, \\3\\2]}");
  EXPECT_EQ(Run({"to-json", "--compact", tree}).out, "{\"a\":[1,2]}\n");
  EXPECT_EQ(Run({"to-json", tree}).out, "{\n  \"a\": [\n    1,\n    2\n  ]\n}\n");
  EXPECT_EQ(Run({"to-json", "--indent", "0", tree}).out, "{\n\"a\": [\n1,\n2\n]\n}\n");
  EXPECT_EQ(Run({"to-json", "--compact", "--indent", "4", tree}).status, 2);
  EXPECT_EQ(Run({"to-json", "--indent", "-1", tree}).status, 2);
}

TEST_F(QuenloTool, WritesToTheFileNamedByOWithLfLineEndsOnRequest) {
  const std::string out = File("out.qo", "former content");
  const Outcome fmt = Run({"fmt", kInventory, "-o", out});
  EXPECT_EQ(fmt.status, 0) << fmt.err;
  EXPECT_TRUE(fmt.out.empty());
  EXPECT_EQ(ReadWhole(out), ReadWhole(kInventory));  // Windows-1252, as read

  const std::string json = (dir_ / "out.json").string();
  EXPECT_EQ(Run({"to-json", "--compact", kInventory, "--output", json}).status, 0);
  EXPECT_EQ(ReadWhole(json), Run({"to-json", "--compact", kInventory}).out);
  EXPECT_EQ(Run({"from-json", json, "-o", out}).status, 0);
  EXPECT_EQ(Run({"check", out}).status, 0);
  // --lf: the listing without its carriage returns.
  EXPECT_EQ(Run({"dump", "--lf", kInventory, "-o", out}).status, 0);
  std::string lf = Run({"dump", kInventory}).out;
  lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
  EXPECT_EQ(ReadWhole(out), lf);
  EXPECT_GT(std::count(lf.begin(), lf.end(), '\n'), 20);
  // Nothing is left beside the file written.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 5);  // stdin, stdout, stderr
}

TEST_F(QuenloTool, RefusesATextThatWouldNotReadBackUnlessForced) {
  const std::string out = File("kept.qo", "former content");
  const std::string json =
      File("split.json", R"({"name": "Smith, Jo", "items": [{"id": 1, "note": "a:b"}]})");
  const Outcome refused = Run({"from-json", json, "-o", out});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            json +
                ": the text would not read back the same: {name}: the text holds \",\" (character 6), "
                "which would split it (--force writes it anyway)\n");
  EXPECT_EQ(ReadWhole(out), "former content");
  EXPECT_TRUE(Run({"from-json", json}).out.empty());

  const Outcome forced = Run({"from-json", "--force", json, "-o", out});
  EXPECT_EQ(forced.status, 0);
  EXPECT_EQ(
      forced.err.rfind("quenlo: warning: " + json + ": the text will not read back the same: {name}: ", 0),
      0u)
      << forced.err;
  EXPECT_EQ(ReadWhole(out),
            "\\11000\\{name: \\8\\Smith, Jo, items: \\11000\\[\\11000\\{id: \\3\\1, note: \\8\\a:b}]}");

  // The reason stays on one line, whatever the keys hold.
  const Outcome line_break = Run({"from-json", "-"}, R"({"a\nOK": "x,y"})");
  EXPECT_EQ(line_break.status, 1);
  EXPECT_NE(line_break.err.find("{a\\nOK}: the text holds"), std::string::npos) << line_break.err;
  EXPECT_EQ(line_break.err.find('\n'), line_break.err.size() - 1) << line_break.err;
}

TEST_F(QuenloTool, RefusesCharactersWindows1252CannotHoldUnlessForcedOrUtf8) {
  const std::string json = File("kanji.json", "{\"city\": \"Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC\"}");
  const Outcome refused = Run({"from-json", json});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find(
                "\"\xE6\x9D\xB1\" (character 23 of the object string), which Windows-1252 cannot hold"),
            std::string::npos)
      << refused.err;
  EXPECT_TRUE(refused.out.empty());

  EXPECT_EQ(Run({"--encoding", "utf-8", "from-json", json}).out,
            "\\11000\\{city: \\8\\Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC}");
  EXPECT_EQ(Run({"from-json", "--force", json}).out, "\\11000\\{city: \\8\\Caf\xE9 ??}");
}

}  // namespace
}  // namespace quenlo
