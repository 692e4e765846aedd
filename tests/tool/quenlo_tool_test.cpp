#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

extern char** environ;

namespace quenlo {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadWhole(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteWhole(const fs::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
}

const std::string kExamples = QUENLO_EXAMPLES_DIR;

// Runs the tool as a subprocess in a scratch folder, with the given standard input.
class QuenloTool : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef QUENLO_TOOL_PATH
    GTEST_SKIP() << "the quenlo tool is not part of this build";
#endif
    char pattern[] = "/tmp/quenlo_tool_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  fs::path File(const std::string& name, std::string_view bytes) {
    WriteWhole(dir_ / name, bytes);
    return dir_ / name;
  }

  Outcome Run(std::vector<std::string> args, std::string_view input = "") {
#ifdef QUENLO_TOOL_PATH
    args.insert(args.begin(), QUENLO_TOOL_PATH);
#endif
    const fs::path in = File("stdin", input), out = dir_ / "stdout", err = dir_ / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    Outcome outcome;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      int wait_status = 0;
      waitpid(pid, &wait_status, 0);
      outcome.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.out = ReadWhole(out);
    outcome.err = ReadWhole(err);
    return outcome;
  }

  // A failure reported as one line on standard error, naming the file.
  static void ExpectOneLineMessage(const Outcome& outcome, const std::string& file) {
    EXPECT_EQ(outcome.err.rfind("quenlo: " + file + ": ", 0), 0u) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
  }

  fs::path dir_;
};

TEST_F(QuenloTool, DumpsTheBundledExample) {
  const Outcome dump = Run({"dump", kExamples + "/inventory.qo"});
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out.rfind("{\r\nstore: Harbour Street Hardware,\r\nopened: 2019-04-01,\r\n", 0), 0u);
  // The file is Windows-1252; the listing is UTF-8.
  EXPECT_NE(dump.out.find("manager: \t{\r\n\tname: Zo\xC3\xA9 Moreau,"), std::string::npos);
  EXPECT_NE(dump.out.find("restock: \t`\r\n\t\tSH-310,\r\n\t\tLM-220\r\n\t\xC2\xB4\r\n}\r\n"), std::string::npos);
  EXPECT_TRUE(dump.err.empty());

  const Outcome utf8 = Run({"--encoding", "utf-8", "dump", "-"}, "\\11000\\`\\8\\\xC3\xA9\xC2\xB4");
  EXPECT_EQ(utf8.status, 0) << utf8.err;
  EXPECT_EQ(utf8.out, "`\r\n\xC3\xA9\r\n\xC2\xB4\r\n");
}

TEST_F(QuenloTool, ReportsMissingUnreadableAndMalformedFilesWithTheirOwnStatus) {
  const std::string missing = (dir_ / "missing.qo").string();
  const std::string folder = dir_.string();
  const std::string malformed = File("bad.qo", "\\11000\\[\\11000\\{a: ").string();

  const Outcome no_file = Run({"dump", missing});
  EXPECT_EQ(no_file.status, 3);
  ExpectOneLineMessage(no_file, missing);
  EXPECT_NE(no_file.err.find("error 53"), std::string::npos);
  EXPECT_EQ(Run({"fmt", (dir_ / "no_folder" / "x.qo").string()}).status, 3);

  const Outcome unreadable = Run({"to-json", folder});
  EXPECT_EQ(unreadable.status, 4);
  ExpectOneLineMessage(unreadable, folder);

  const Outcome bad = Run({"dump", malformed});
  EXPECT_EQ(bad.status, 5);
  ExpectOneLineMessage(bad, malformed);
  EXPECT_TRUE(bad.out.empty());
}

TEST_F(QuenloTool, ChecksSeveralFiles) {
  const std::string good = kExamples + "/inventory.qo";
  const std::string missing = (dir_ / "missing.qo").string();
  const std::string malformed = File("bad.qo", "\\11000\\{a: \\9\\12345}").string();

  const Outcome all_good = Run({"check", good, "-"}, "\\11000\\[]");
  EXPECT_EQ(all_good.status, 0);
  EXPECT_EQ(all_good.out, good + ": OK\n-: OK\n");

  const Outcome mixed = Run({"check", good, malformed, missing});
  EXPECT_EQ(mixed.status, 5);  // the first file that failed
  EXPECT_EQ(mixed.out.rfind(good + ": OK\n" + malformed + ": not an object string: error 5 (Quenlo): ", 0),
            0u)
      << mixed.out;
  EXPECT_NE(mixed.out.find("\n" + missing + ": error 53 (Quenlo): File not found\n"), std::string::npos);
}

TEST_F(QuenloTool, FormatsCanonically) {
  const std::string loose =
      File("loose.qo", "\\11000\\{ a :  \\2\\1 ,b: \\11000\\[\\8\\x,\\3\\7 ]}").string();
  const Outcome fmt = Run({"fmt", loose});
  EXPECT_EQ(fmt.status, 0) << fmt.err;
  EXPECT_EQ(fmt.out, "\\11000\\{a: \\2\\1, b: \\11000\\[\\8\\x, \\3\\7]}");

  // The bundled example is already canonical, Windows-1252 bytes included.
  EXPECT_EQ(Run({"fmt", kExamples + "/inventory.qo"}).out, ReadWhole(kExamples + "/inventory.qo"));
  EXPECT_EQ(Run({"fmt", "-"}, "\\11000\\<\\2\\1,\\2\\2>").out, "\\11000\\<\\2\\1, \\2\\2>");
  EXPECT_EQ(Run({"fmt", "--encoding", "utf-8", "-"}, "\\11000\\[\\8\\\xC3\xA9]").out,
            "\\11000\\[\\8\\\xC3\xA9]");
  EXPECT_EQ(Run({"fmt", "-"}, "\\11000\\[\\8\\\xE9]").out, "\\11000\\[\\8\\\xE9]");
}

TEST_F(QuenloTool, ConvertsToJson) {
  const Outcome out = Run({"to-json", kExamples + "/inventory.qo"});
  ASSERT_EQ(out.status, 0) << out.err;
  const auto json = nlohmann::ordered_json::parse(out.out);
  EXPECT_EQ(json.begin().key(), "store");
  EXPECT_EQ(json["opened"], "2019-04-01");
  EXPECT_EQ(json["open"], true);
  EXPECT_EQ(json["manager"]["name"], "Zo\xC3\xA9 Moreau");
  EXPECT_EQ(json["manager"]["staff"], 12);
  EXPECT_EQ(json["items"][0]["price"], 34.5);
  EXPECT_EQ(json["items"][2]["tags"], nlohmann::ordered_json::array());
  EXPECT_EQ(json["discount"], 0.15);
  EXPECT_EQ(json["restock"], nlohmann::ordered_json::parse(R"(["SH-310", "LM-220"])"));

  const Outcome kinds = Run(
      {"to-json", "-"}, "\\11000\\[\\0\\, \\1\\, \\9\\0, \\11000\\<\\2\\2, \\2\\1>, \\11000\\(\\4\\0.1)]");
  // Empty and Null read back as empty Strings; nothing is null; a Stack lists in Pop order.
  EXPECT_EQ(nlohmann::ordered_json::parse(kinds.out),
            nlohmann::ordered_json::parse(R"(["", "", null, [2, 1], [0.1]])"))
      << kinds.err;
}

TEST_F(QuenloTool, ConvertsFromJson) {
  const Outcome orders = Run({"from-json", kExamples + "/orders.json"});
  EXPECT_EQ(orders.status, 0) << orders.err;
  EXPECT_EQ(
      orders.out,
      "\\11000\\{customer: \\8\\Zo\xE9 Moreau, order: \\3\\10482, paid: \\11\\True, total: \\5\\145.49, "
      "note: \\1\\, lines: \\11000\\[\\11000\\{sku: \\8\\KT-100, quantity: \\3\\2}, "
      "\\11000\\{sku: \\8\\LM-220, quantity: \\3\\1}]}");

  EXPECT_EQ(Run({"from-json", "-"}, "[3000000000, -5, 1.5, \"x\", false]").out,
            "\\11000\\[\\5\\3000000000, \\3\\-5, \\5\\1.5, \\8\\x, \\11\\False]");
  EXPECT_EQ(Run({"from-json", "-"}, "\"hi\"").out, "\\11000\\\\8\\hi");

  const Outcome not_json = Run({"from-json", "-"}, "{\"a\": ");
  EXPECT_EQ(not_json.status, 5);
  ExpectOneLineMessage(not_json, "-");
  const Outcome too_deep = Run({"from-json", "-"}, std::string(2000, '['));
  EXPECT_EQ(too_deep.status, 5);
  const Outcome deep = Run({"from-json", "-"}, std::string(2000, '[') + std::string(2000, ']'));
  EXPECT_EQ(deep.status, 1);
  ExpectOneLineMessage(deep, "-");
}

TEST_F(QuenloTool, JsonRoundTripsKeepWhatJsonCanHold) {
  const fs::path json = File("inventory.json", Run({"to-json", kExamples + "/inventory.qo"}).out);
  const Outcome back = Run({"from-json", json.string()});
  ASSERT_EQ(back.status, 0) << back.err;
  const fs::path qo = File("back.qo", back.out);
  EXPECT_EQ(Run({"to-json", qo.string()}).out, ReadWhole(json));
  // Maps, Arrays, Strings, Longs, Doubles and Booleans come back as they were written.
  const std::string text = "\\11000\\{a: \\11000\\[\\3\\1, \\5\\2.5, \\8\\t, \\11\\True], b: \\11000\\{}}";
  const fs::path plain = File("plain.json", Run({"to-json", "-"}, text).out);
  EXPECT_EQ(Run({"from-json", plain.string()}).out, text);
}

TEST_F(QuenloTool, RejectsBadCommandLinesAndExplainsItself) {
  EXPECT_EQ(Run({}).status, 2);
  const Outcome unknown = Run({"frobnicate", "x"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err.find('\n'), unknown.err.size() - 1);
  EXPECT_EQ(Run({"dump"}).status, 2);
  EXPECT_EQ(Run({"--encoding", "latin-9", "dump", "-"}).status, 2);

  const Outcome help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* topic : {"dump", "check", "fmt", "to-json", "from-json", "--encoding", "Exit status",
                            "does not survive", "cycles"}) {
    EXPECT_NE(help.out.find(topic), std::string::npos) << topic;
  }
}

}  // namespace
}  // namespace quenlo
