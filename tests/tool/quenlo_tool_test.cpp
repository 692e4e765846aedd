#include <nlohmann/json.hpp>
#include <string>

#include "tool/tool_fixture.hpp"

namespace quenlo {
namespace {

using Json = nlohmann::ordered_json;

TEST_F(QuenloTool, DumpsTheBundledExampleAsUtf8) {
  const Outcome dump = Run({"dump", kInventory});
  EXPECT_EQ(dump.status, 0) << dump.err;
  // The file is Windows-1252; the listing is UTF-8.
  EXPECT_NE(dump.out.find("manager: \t{\r\n\tname: Zo\xC3\xA9 Moreau,"), std::string::npos);
  EXPECT_NE(dump.out.find("\t`\r\n\t\tSH-310,\r\n\t\tLM-220\r\n\t\xC2\xB4\r\n}\r\n"), std::string::npos);
  EXPECT_TRUE(dump.err.empty());

  const Outcome utf8 = Run({"--encoding", "utf-8", "dump", "-"}, "\\11000\\`\\8\\\xC3\xA9\xC2\xB4");
  EXPECT_EQ(utf8.status, 0) << utf8.err;
  EXPECT_EQ(utf8.out, "`\r\n\xC3\xA9\r\n\xC2\xB4\r\n");
}

TEST_F(QuenloTool, ReportsMissingUnreadableAndMalformedFilesWithTheirOwnStatus) {
  const std::string missing = (dir_ / "missing.qo").string(), folder = dir_.string();
  const std::string malformed = File("bad.qo", "\\11000\\[\\11000\\{a: ");

  const Outcome no_file = Run({"dump", missing});
  EXPECT_EQ(no_file.status, 3);
  EXPECT_EQ(no_file.err, missing + ": error 53 (Quenlo): File not found\n");
  EXPECT_EQ(Run({"fmt", (dir_ / "no_folder" / "x.qo").string()}).status, 3);

  const Outcome unreadable = Run({"to-json", folder});
  EXPECT_EQ(unreadable.status, 4);
  ExpectOneLine(unreadable, folder + ": error ");

  const Outcome bad = Run({"dump", malformed});
  EXPECT_EQ(bad.status, 5);
  EXPECT_TRUE(IsErrorLine(bad.err, malformed, "")) << bad.err;
  EXPECT_TRUE(bad.out.empty());
}

TEST_F(QuenloTool, ChecksSeveralFiles) {
  const std::string missing = (dir_ / "missing.qo").string();
  const std::string malformed = File("bad.qo", "\\11000\\{a: \\9\\12345}");

  const Outcome all_good = Run({"check", kInventory, "-"}, "\\11000\\[]");
  EXPECT_EQ(all_good.status, 0) << all_good.out;
  EXPECT_EQ(all_good.out, kInventory + ": OK\n-: OK\n") << all_good.out;

  const Outcome mixed = Run({"check", kInventory, malformed, missing});
  EXPECT_EQ(mixed.status, 5);  // the first file that failed
  // The reader says where the identity number failed, or nothing more.
  const std::string bad_line =
      mixed.out.substr(mixed.out.find('\n') + 1, mixed.out.rfind(missing) - mixed.out.find('\n') - 1);
  EXPECT_TRUE(mixed.out.starts_with(kInventory + ": OK\n")) << mixed.out;
  EXPECT_TRUE(IsErrorLine(bad_line, malformed, "5", "Invalid procedure call or argument")) << bad_line;
  EXPECT_TRUE(mixed.out.ends_with("\n" + missing + ": error 53 (Quenlo): File not found\n")) << mixed.out;
}

TEST_F(QuenloTool, FormatsCanonically) {
  const std::string loose = File("loose.qo", "\\11000\\{ a :  \\2\\1 ,b: \\11000\\[\\8\\x,\\3\\7 ]}");
  const Outcome fmt = Run({"fmt", loose});
  EXPECT_EQ(fmt.status, 0) << fmt.err;
  EXPECT_EQ(fmt.out, "\\11000\\{a: \\2\\1, b: \\11000\\[\\8\\x, \\3\\7]}");
}

TEST_F(QuenloTool, ConvertsToJson) {
  const Outcome out = Run({"to-json", kInventory});
  ASSERT_EQ(out.status, 0) << out.err;
  // Keys keep their order; a Date is its text; Currency is a number; a Queue lists in Pop order.
  EXPECT_EQ(Json::parse(out.out), Json::parse(R"({"store": "Harbour Street Hardware", "opened": "2019-04-01",
    "open": true, "manager": {"name": "Zoé Moreau", "staff": 12}, "items": [
      {"sku": "KT-100", "name": "Copper kettle", "price": 34.5, "stock": 14, "tags": ["kitchen", "copper"]},
      {"sku": "LM-220", "name": "Brass lamp", "price": 89.99, "stock": 3, "tags": ["lighting"]},
      {"sku": "SH-310", "name": "Garden shears", "price": 21.0, "stock": 0, "tags": []}],
    "discount": 0.15, "last stocktake": "2026-11-30", "restock": ["SH-310", "LM-220"]})"));

  const Outcome kinds = Run(
      {"to-json", "-"}, "\\11000\\[\\0\\, \\1\\, \\9\\0, \\11000\\<\\2\\2, \\2\\1>, \\11000\\(\\4\\0.1)]");
  // Empty and Null read back as empty Strings; nothing is null; a Stack lists in Pop order.
  EXPECT_EQ(Json::parse(kinds.out), Json::parse(R"(["", "", null, [2, 1], [0.1]])")) << kinds.err;
}

TEST_F(QuenloTool, ConvertsFromJsonAndBack) {
  const Outcome orders = Run({"from-json", QUENLO_EXAMPLES_DIR "/orders.json"});
  EXPECT_EQ(orders.status, 0) << orders.err;
  EXPECT_EQ(
      orders.out,
      "\\11000\\{customer: \\8\\Zo\xE9 Moreau, order: \\3\\10482, paid: \\11\\True, total: \\5\\145.49, "
      "note: \\1\\, lines: \\11000\\[\\11000\\{sku: \\8\\KT-100, quantity: \\3\\2}, "
      "\\11000\\{sku: \\8\\LM-220, quantity: \\3\\1}]}");
  EXPECT_EQ(Run({"from-json", "-"}, "\"hi\"").out, "\\11000\\\\8\\hi");

  const Outcome not_json = Run({"from-json", "-"}, "{\"a\": ");
  EXPECT_EQ(not_json.status, 5);
  EXPECT_EQ(not_json.err.rfind("-:6: error 5 (Quenlo): Invalid procedure call or argument (not JSON: ", 0),
            0u)
      << not_json.err;
  const std::string cut = File("cut.json", "{\"a\": [1,");
  const std::string cut_short = Run({"from-json", cut}).err;
  EXPECT_TRUE(IsErrorLine(cut_short, cut + ":9", "5", "Invalid procedure call or argument")) << cut_short;
  const Outcome too_deep = Run({"from-json", "-"}, std::string(2000, '[') + std::string(2000, ']'));
  EXPECT_EQ(too_deep.status, 1);
  ExpectOneLine(too_deep, "-: error 28 (Quenlo): Out of stack space");
  // Maps, Arrays, Strings, Longs, Doubles (also whole ones beyond a Long) and Booleans come back.
  const std::string text =
      "\\11000\\{a: \\11000\\[\\3\\-5, \\5\\2.5, \\5\\3000000000, \\8\\t, \\11\\False], b: \\11000\\{}}";
  EXPECT_EQ(Run({"from-json", File("plain.json", Run({"to-json", "-"}, text).out)}).out, text);
}

TEST_F(QuenloTool, RejectsBadCommandLines) {
  EXPECT_EQ(Run({}).status, 2);
  const Outcome unknown = Run({"frobnicate", "x"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err.find('\n'), unknown.err.size() - 1);
  EXPECT_EQ(Run({"--encoding", "latin-9", "dump", "-"}).status, 2);
}

}  // namespace
}  // namespace quenlo
